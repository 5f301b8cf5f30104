#pragma once

namespace plugkit::core {

// [editor thread] Opens url with the program named by the environment variable "BROWSER", or with
// "open" when it is unset or empty: the program runs detached with the arguments (program, url).
// Reports nothing; a missing program is not detected. The caller never waits for the browser.
void browseURL(const char* url);

}  // namespace plugkit::core

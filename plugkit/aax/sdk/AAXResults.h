#pragma once

#include <cstdint>

// Result codes exchanged between the host and the plug-in across every interface of
// AAXInterfaces.h and every exported entry point. 0 is success; everything else is a failure.
// The values are the host SDK's and must not change: hosts compare against them.

namespace plugkit::aax::sdk {

using Result = std::int32_t;

inline constexpr Result kSuccess = 0;
// An identifier that names no parameter.
inline constexpr Result kErrorInvalidParameterID = -20001;
// A text that does not convert to a parameter value.
inline constexpr Result kErrorInvalidStringConversion = -20002;
// A required object or out argument is missing (also: a host interface that is not available).
inline constexpr Result kErrorNullObject = -20004;
// A chunk index outside 0 .. GetNumberOfChunks - 1.
inline constexpr Result kErrorInvalidChunkIndex = -20006;
// A chunk identifier that is not the plug-in's, or chunk data that cannot be loaded.
inline constexpr Result kErrorInvalidChunkID = -20007;
// A record or data block is smaller than the data to be written into it (chunk records whose
// size announces too little room, private-data fields too small for a pointer) or announces a
// size that cannot be valid (negative).
inline constexpr Result kErrorIncorrectSize = -20008;
// The operation is not implemented by this object.
inline constexpr Result kErrorUnimplemented = -20009;
// A parameter index outside 0 .. GetNumberOfParameters - 1.
inline constexpr Result kErrorInvalidParameterIndex = -20010;
// The object was not initialised, or its initialisation argument was unusable.
inline constexpr Result kErrorNotInitialized = -20011;
// QueryInterface: the object does not implement the requested interface.
inline constexpr Result kErrorNoInterface = static_cast<Result>(0x80004002u);

}  // namespace plugkit::aax::sdk

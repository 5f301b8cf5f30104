-- Ardour session test for the LV2 bundle, run by ardour_test.sh with ardour7-lua and the dummy
-- backend: a stereo track with the plug-in, its parameters listed and set, its presets listed and
-- applied, the session saved, closed and loaded again, and the plug-in's state checked after it.
local dir = assert(os.getenv("TOLVA_SESSION_DIR"), "TOLVA_SESSION_DIR not set")
local uri = "https://pel.audio/plugins/tolva"

local function check(cond, what)
  if not cond then
    print("FAILED: " .. what)
    os.exit(1)
  end
end

local function near(a, b) return math.abs(a - b) <= 1e-4 * math.max(1, math.abs(b)) end

-- Parameter index (Ardour's numbering of control inputs) by label.
local function param_index(plug, label)
  for i = 0, plug:parameter_count() - 1 do
    if plug:parameter_label(i) == label then return i end
  end
  return nil
end

local function value(proc, plug, label)
  return ARDOUR.LuaAPI.get_processor_param(proc, assert(param_index(plug, label), label), true)
end

-- The plug-in's own state chunk, from the newest state file the session holds for it.
local function saved_chunk()
  local newest, chunk = -1, nil
  local files = io.popen("find '" .. dir .. "/plugins' -name state.ttl")
  for path in files:lines() do
    local n = tonumber(path:match("state(%d+)/state.ttl$")) or 0
    local f = io.open(path)
    local text = f:read("a")
    f:close()
    local c = text:match("<" .. uri .. "#state>%s*\"\"\"(.-)\"\"\"")
    if c and n > newest then newest, chunk = n, c end
  end
  files:close()
  return chunk
end

AudioEngine:set_backend("None (Dummy)", "", "")
local s = assert(create_session(dir, "tolva", 48000), "cannot create the session")

local found = {}
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.unique_id:find(uri, 1, true) == 1 then found[p.unique_id] = p.name end
end
for _, id in ipairs({uri, uri .. "/mono", uri .. "/mono-to-stereo", uri .. "/stereo-to-mono"}) do
  check(found[id], "Ardour does not list " .. id)
end

local tracks = s:new_audio_track(2, 2, nil, 1, "Mix", ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true)
local track = tracks:front()
local proc = ARDOUR.LuaAPI.new_plugin(s, uri, ARDOUR.PluginType.LV2, "")
check(not proc:isnil(), "cannot create the plug-in")
track:add_processor_by_index(proc, 0, nil, true)
local plug = proc:to_insert():plugin(0)

-- Parameters: every control with its range and default.
local count = 0
for i = 0, plug:parameter_count() - 1 do
  if plug:parameter_is_input(i) and plug:parameter_is_control(i) then
    local _, pd = plug:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
    print(string.format("param %2d %-14s %g .. %g (default %g)", i, plug:parameter_label(i), pd[2].lower,
                        pd[2].upper, pd[2].normal))
    count = count + 1
  end
end
check(count >= 29, "expected at least 29 control inputs, got " .. count)
check(near(value(proc, plug, "F1"), 190), "F1 default")

-- Presets: listed, then one applied.
local labels = {}
for ps in plug:get_info():get_presets(false):iter() do
  print("preset " .. ps.label .. " <" .. ps.uri .. ">")
  labels[ps.label] = true
end
for _, l in ipairs({"Default", "Soft Master", "4-Band Limit", "Low-End Control"}) do
  check(labels[l], "missing preset " .. l)
end
check(plug:load_preset(plug:preset_by_label("Soft Master")), "cannot apply Soft Master")
check(near(value(proc, plug, "Threshold L"), -12), "Soft Master's Threshold L")
check(near(value(proc, plug, "Threshold H"), -22), "Soft Master's Threshold H")

-- Parameters set by the session.
ARDOUR.LuaAPI.set_processor_param(proc, param_index(plug, "F1"), 333)
ARDOUR.LuaAPI.set_processor_param(proc, param_index(plug, "Auto Gain"), 1)
check(near(value(proc, plug, "F1"), 333), "F1 not set")

ARDOUR.LuaAPI.usleep(300000)  -- let the engine run the plug-in with the new values
check(s:save_state("") == 0, "save failed")
local chunk = saved_chunk()
check(chunk, "no plug-in state in the saved session")

-- Lua must let go of every session object before the session is closed.
tracks, track, proc, plug, s = nil, nil, nil, nil, nil
collectgarbage()
close_session()

s = assert(load_session(dir, "tolva"), "cannot load the session again")
local route = s:route_by_name("Mix")
check(route and not route:isnil(), "track missing after reload")
proc = route:nth_plugin(0)
check(not proc:isnil(), "plug-in missing after reload")
plug = proc:to_insert():plugin(0)
check(plug:unique_id() == uri, "another plug-in after reload: " .. plug:unique_id())
check(near(value(proc, plug, "Threshold L"), -12), "Threshold L after reload")
check(near(value(proc, plug, "F1"), 333), "F1 after reload")
check(near(value(proc, plug, "Auto Gain"), 1), "Auto Gain after reload")
check(plug:last_preset().label == "Soft Master", "preset name after reload")

ARDOUR.LuaAPI.usleep(300000)
check(s:save_state("") == 0, "second save failed")
check(saved_chunk() == chunk, "the plug-in's state changed across save and reload")

route, proc, plug, s = nil, nil, nil, nil
collectgarbage()
close_session()
print("ARDOUR SESSION TEST PASSED")

-- Shared by the Ardour steps of the Marovex session test (tests/lv2/ardour_session.py runs each
-- step as `ardour7-lua STEP.lua ARGS...`). Every step prints "RESULT key value" lines for the
-- driver and ends with an error (exit status 1) when something inside Ardour is not as expected.

URI = "urn:halvik:marovex:stereo"
-- The plug-in's control ports, by index (fixed for good: sessions store them).
PORTS = { "MasterBypassID", "InGain", "FreqW", "Width", "FreqA", "Action", "Dyn", "Adj", "OutGain" }
METER_PORT = 9
-- The export preset the driver writes into Ardour's configuration folder: 32-bit float WAV at the
-- session's rate, no normalising, no dither, no broadcast header.
EXPORT_PRESET = "6b2ad9e4-5a1c-4f0e-9d3a-3e4a5c6f7a81"

function report(key, value)
  print(string.format("RESULT %s %s", key, tostring(value)))
end

function check(condition, message)
  if not condition then error("FAIL: " .. message, 0) end
end

-- The engine: Ardour's dummy backend (no sound card), at real-time speed or faster.
function start_backend(driver, device)
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  check(backend and not backend:isnil() and AudioEngine:current_backend_name() == "Dummy",
        "Ardour's dummy backend is not available")
  if driver then check(backend:set_driver(driver) == 0, "the dummy backend has no driver " .. driver) end
  device = device or "Silence"
  check(backend:set_device_name(device) == 0, "the dummy backend has no device " .. device)
  -- Ardour's own synth for auditioning MIDI, named so that the session does not warn that it
  -- falls back to it.
  ARDOUR.config():set_midi_audition_synth_uri("https://community.ardour.org/node/7596")
  return backend
end

function open_session(dir, name)
  local s = load_session(dir, name)
  check(s ~= nil, "Ardour could not open the session " .. dir .. "/" .. name)
  return s
end

function save_session()
  check(Session:save_state("", false, false, false, false, false) == 0, "Ardour could not save the session")
end

function track_named(name)
  local route = Session:route_by_name(name)
  check(not route:isnil(), "no track " .. name)
  local track = route:to_track()
  check(not track:isnil(), name .. " is not a track")
  return track
end

-- The plug-in inserts of our stereo plug-in on a route, in processor order.
function marovex_inserts(route)
  local found = {}
  local i = 0
  while true do
    local proc = route:nth_plugin(i)
    if proc:isnil() then break end
    local insert = proc:to_insert()
    if not insert:isnil() and insert:plugin(0):unique_id() == URI then found[#found + 1] = proc end
    i = i + 1
  end
  return found
end

-- Sets a control port the way a script or a generic plug-in editor does: Ardour's parameter n of a
-- plug-in is its n-th control port, which for this plug-in is port n.
function set_port(proc, port, value)
  local plugin = proc:to_insert():plugin(0)
  local index, _ = plugin:nth_parameter(port, false)
  check(index == port, "Ardour's parameter " .. port .. " is port " .. tostring(index))
  check(ARDOUR.LuaAPI.set_processor_param(proc, port, value), "Ardour refused to set port " .. port)
end

function get_port(proc, port)
  local value, _ = ARDOUR.LuaAPI.get_processor_param(proc, port, false)
  return value
end

-- Every control input port, as "RESULT port.SYMBOL VALUE" (%.17g: the double Ardour holds).
function report_ports(proc, prefix)
  local plugin = proc:to_insert():plugin(0)
  for port, symbol in ipairs(PORTS) do
    check(plugin:parameter_label(port - 1) ~= "", "port " .. (port - 1) .. " has no label")
    report(string.format("%s.%s", prefix, symbol), string.format("%.17g", get_port(proc, port - 1)))
  end
end

-- Lets the engine run `cycles` process cycles (the plug-in's run is called in each).
function let_run(cycles)
  check(ARDOUR.LuaAPI.wait_for_process_callback(cycles, 5000), "the engine does not run process cycles")
end

-- Exports frames [0, frames) of the master bus into FOLDER/NAME.wav with the preset above.
-- Ardour 7.3's export code corrupts the heap now and then and the process dies (also in sessions
-- without any plug-in; the driver retries such an export): "STAGE export-begin/end" lines, printed
-- at once, tell the driver that the process died inside the export.
function export_wav(folder, name, frames)
  print("STAGE export-begin " .. name)
  io.stdout:flush()
  local export = Session:simple_export()
  export:set_name(name)
  export:set_folder(folder)
  export:set_range(0, frames)
  check(export:set_preset(EXPORT_PRESET), "Ardour does not know the export preset " .. EXPORT_PRESET)
  check(export:run_export(), "the export of " .. name .. " failed")
  -- the export's objects go here, inside the marks, not at some later collection
  export = nil
  collectgarbage("collect")
  print("STAGE export-end " .. name)
  io.stdout:flush()
end

-- Closes the session. Lua must hold no Ardour object by then: ardour7-lua destroys objects still
-- referenced from Lua only when the interpreter ends, after the session is gone, and a track
-- destroyed then reads the freed session (a crash at exit, "double free or corruption").
-- So each step keeps its objects in locals of a function and calls this after that function returned.
function finish()
  collectgarbage("collect")
  collectgarbage("collect")
  close_session()
end

-- True when the track's two outputs feed the master bus's two inputs.
function feeds_master(track)
  local master = Session:master_out():input()
  for c = 0, 1 do
    if not track:output():audio(c):connected_to(master:audio(c):name()) then return false end
  end
  return true
end

-- Ardour connects a new track's ports in a thread of its own, a moment after making the track;
-- a session saved before that holds a track that feeds nothing (and exports silence).
function wait_until_feeds_master(track)
  for _ = 1, 250 do
    if feeds_master(track) then return end
    ARDOUR.LuaAPI.usleep(20000)
  end
  check(false, "Ardour did not connect track " .. track:name() .. " to the master bus within 5 s")
end

-- Step 5: a new session with 8 stereo tracks of 4 plug-ins each (32 instances) plays for at least
-- 10 s of session time on the dummy backend at ten times real-time speed.
-- ardour7-lua instances.lua LUA_DIR SESSION_DIR NAME SECONDS
local lua_dir, dir, name, seconds = arg[1], arg[2], arg[3], tonumber(arg[4])
dofile(lua_dir .. "/common.lua")

local function step()
  -- The inputs get a swelling sine sweep, so that the detectors and gain stages have work to do.
  start_backend("10x Speed", "Sine Sweep Swell")
  check(create_session(dir, name, 48000) ~= nil, "Ardour could not create the session")
  local tracks = Session:new_audio_track(2, 2, nil, 8, "Load", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
  check(tracks:size() == 8, "Ardour made " .. tracks:size() .. " tracks, not 8")
  local all = {}
  for track in tracks:iter() do
    for i = 1, 4 do
      local proc = ARDOUR.LuaAPI.new_plugin(Session, URI, ARDOUR.PluginType.LV2, "")
      check(not proc:isnil(), "Ardour cannot load " .. URI)
      check(track:add_processor_by_index(proc, i - 1, nil, true) == 0, "Ardour could not insert plug-in " .. #all + 1)
      -- Different settings on each, so that every instance does work of its own.
      set_port(proc, 4, (#all % 8) / 8)
      set_port(proc, 3, 0.5 + (#all % 4) / 8)
      all[#all + 1] = proc
    end
    -- the tracks play their input (the backend's sweep, auto-connected), each plug-in into the next
    track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
  end
  for track in tracks:iter() do wait_until_feeds_master(track) end
  check(#all == 32, "the session holds " .. #all .. " plug-ins")

  local goal = seconds * Session:nominal_sample_rate()
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  local waited = 0
  local loudest = -math.huge
  while Session:transport_sample() < goal and waited < 60000 do
    ARDOUR.LuaAPI.usleep(20000)
    waited = waited + 20
    for track in tracks:iter() do
      loudest = math.max(loudest, track:peak_meter():meter_level(0, ARDOUR.MeterType.MeterPeak))
    end
  end
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  local played = Session:transport_sample()
  check(played >= goal, "the transport reached only sample " .. played)
  let_run(4)
  for i, proc in ipairs(all) do
    check(proc:active(), "plug-in " .. i .. " is no longer active")
  end
  -- the sweep came through all four plug-ins of a track
  check(loudest > -40, string.format("the tracks' output peaked at %.1f dBFS only", loudest))
  report("loudest", string.format("%.1f", loudest))
  report("played", played)
  report("instances", #all)
  report("xruns", Session:get_xrun_count())
  save_session()
end

step()
finish()

-- Step 1: a new 48 kHz session with one stereo audio track "Marovex", saved.
-- ardour7-lua create.lua LUA_DIR SESSION_DIR NAME
local lua_dir, dir, name = arg[1], arg[2], arg[3]
dofile(lua_dir .. "/common.lua")

local function step()
  start_backend()
  check(create_session(dir, name, 48000) ~= nil, "Ardour could not create the session")
  check(Session:nominal_sample_rate() == 48000, "the session runs at " .. Session:nominal_sample_rate() .. " Hz")
  -- Session > Properties > Fades: no region fades. Ardour otherwise fades every region in and out
  -- over 64 frames, which the export without the plug-in shows as the only difference.
  Session:cfg():set_use_region_fades(false)
  local tracks = Session:new_audio_track(2, 2, nil, 1, "Marovex", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
  check(tracks:size() == 1, "Ardour made no track")
  local track = tracks:front()
  check(track:n_inputs():n_audio() == 2 and track:n_outputs():n_audio() == 2, "the track is not stereo")
  wait_until_feeds_master(track)
  save_session()
  report("track", track:name())
end

step()
finish()

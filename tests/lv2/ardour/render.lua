-- Step 2: the session with the imported file on track "Marovex": export the track as it is (the
-- dry chain), insert the stereo plug-in, set four controls by port, export again, save.
-- ardour7-lua render.lua LUA_DIR SESSION_DIR NAME EXPORT_DIR FRAMES PORT=VALUE...
local lua_dir, dir, name, export_dir, frames = arg[1], arg[2], arg[3], arg[4], tonumber(arg[5])
dofile(lua_dir .. "/common.lua")

local function step()
  start_backend()
  open_session(dir, name)
  local track = track_named("Marovex")
  local playlist = track:playlist()
  check(playlist:n_regions() == 1, "the track holds " .. playlist:n_regions() .. " regions, not the imported one")
  for region in playlist:region_list():iter() do
    check(region:length():samples() == frames, "the imported region is " .. region:length():samples() .. " frames long")
    check(region:position():samples() == 0, "the imported region starts at " .. region:position():samples())
    check(region:to_audioregion():n_channels() == 2, "the imported region is not stereo")
  end
  check(feeds_master(track), "the track does not feed the master bus")
  check(#marovex_inserts(track) == 0, "the track already holds the plug-in")

  -- Before an export Ardour rolls the session for this long (Preferences > Signal Flow > export pre-roll).
  report("export-preroll", ARDOUR.config():get_export_preroll())
  export_wav(export_dir, "dry", frames)

  local proc = ARDOUR.LuaAPI.new_plugin(Session, URI, ARDOUR.PluginType.LV2, "")
  check(not proc:isnil(), "Ardour cannot load " .. URI)
  check(track:add_processor_by_index(proc, 0, nil, true) == 0, "Ardour could not insert the plug-in")
  check(proc:active(), "the inserted plug-in is not active")
  local insert = proc:to_insert()
  check(insert:get_count() == 1, "Ardour runs " .. insert:get_count() .. " instances for the stereo track")
  for i = 6, #arg do
    local port, value = arg[i]:match("^(%d+)=(.+)$")
    set_port(proc, tonumber(port), tonumber(value))
  end
  report_ports(proc, "set")

  export_wav(export_dir, "wet", frames)
  save_session()
end

step()
finish()

-- Step 3 and 4: reopen the saved session in a new process, report every control port of the
-- plug-in, let it run and save again (so the restored instance writes its own state), and
-- optionally change one port and save as soon as the plug-in can know of it, as a script does.
-- Ardour keeps a value set by port in a copy of its own and writes it into the plug-in's port only
-- at its next process cycle, so a save before that cycle cannot hold it (Ardour's session file holds
-- it, and Ardour sets the ports after restoring the chunk, so the change is kept on reopening); the
-- save comes right after that one cycle, while the edit may still be on its way through the worker.
-- ardour7-lua reopen.lua LUA_DIR SESSION_DIR NAME [PORT=VALUE]
local lua_dir, dir, name, change = arg[1], arg[2], arg[3], arg[4]
dofile(lua_dir .. "/common.lua")

local function step()
  start_backend()
  open_session(dir, name)
  local track = track_named("Marovex")
  local inserts = marovex_inserts(track)
  check(#inserts == 1, "the reopened track holds " .. #inserts .. " Marovex plug-ins")
  local proc = inserts[1]
  check(proc:active(), "the restored plug-in is not active")
  report_ports(proc, "restored")

  let_run(8)
  save_session()
  report("resaved", 1)

  if change then
    local port, value = change:match("^(%d+)=(.+)$")
    set_port(proc, tonumber(port), tonumber(value))
    report_ports(proc, "changed")
    let_run(1)
    save_session()
  end
end

step()
finish()

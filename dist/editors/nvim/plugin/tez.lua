-- tezplayer scores in Neovim: `tez lsp` through the built-in client (Neovim 0.7 or later).
-- Put this folder on 'runtimepath' or copy this file to ~/.config/nvim/plugin/.
-- Settings (before the first score opens):
--   vim.g.tez_command = { "tez", "lsp" }   -- how the server starts
--   vim.g.tez_device = -1                  -- the output device: an id or a part of its name
-- Commands in a score: :TezPlay (from the cursor's line), :'<,'>TezLoop, :TezPause, :TezStop,
-- :TezTempoUp, :TezTempoDown, :TezKeyUp, :TezKeyDown. The sounding line is highlighted
-- (TezSounding, linked to Visual).

vim.cmd([[
  augroup tez_filetype
    autocmd!
    autocmd BufRead,BufNewFile *.tez setfiletype tez
  augroup END
  highlight default link TezSounding Visual
]])

local sounding = vim.api.nvim_create_namespace("tez_sounding")
local client_id = nil

local function show_sounding(_, result)
  if not result then
    return
  end
  local buffer = vim.uri_to_bufnr(result.uri)
  vim.api.nvim_buf_clear_namespace(buffer, sounding, 0, -1)
  if result.line ~= vim.NIL and result.line < vim.api.nvim_buf_line_count(buffer) then
    vim.api.nvim_buf_add_highlight(buffer, sounding, "TezSounding", result.line, 0, -1)
  end
end

local function run(command, arguments)
  local client = client_id and vim.lsp.get_client_by_id(client_id)
  if not client then
    vim.notify("tez: the language server is not running", vim.log.levels.ERROR)
    return
  end
  client.request("workspace/executeCommand", { command = command, arguments = arguments },
    function(err, result)
      if err then
        vim.notify("tez: " .. err.message, vim.log.levels.WARN)
      elseif result then
        vim.api.nvim_echo({ { "tez: " .. result } }, false, {})
      end
    end, 0)
end

local function define_commands(buffer)
  local uri = vim.uri_from_bufnr(buffer)
  local commands = {
    TezPlay = function() run("tez.play", { uri, vim.fn.line(".") - 1 }) end,
    TezPause = function() run("tez.pause", {}) end,
    TezStop = function() run("tez.stop", {}) end,
    TezTempoUp = function() run("tez.tempoUp", {}) end,
    TezTempoDown = function() run("tez.tempoDown", {}) end,
    TezKeyUp = function() run("tez.keyUp", {}) end,
    TezKeyDown = function() run("tez.keyDown", {}) end,
  }
  for name, action in pairs(commands) do
    vim.api.nvim_buf_create_user_command(buffer, name, action, {})
  end
  vim.api.nvim_buf_create_user_command(buffer, "TezLoop", function(args)
    run("tez.loop", { uri, args.line1 - 1, args.line2 - 1 })
  end, { range = true })
end

local function attach(args)
  local buffer = args.buf
  if not client_id or not vim.lsp.get_client_by_id(client_id) then
    client_id = vim.lsp.start_client({
      name = "tez",
      cmd = vim.g.tez_command or { "tez", "lsp" },
      root_dir = vim.fn.getcwd(),
      init_options = { device = vim.g.tez_device or -1 },
      handlers = { ["tez/soundingLine"] = show_sounding },
      flags = { debounce_text_changes = 20 },
    })
  end
  if client_id then
    vim.lsp.buf_attach_client(buffer, client_id)
    define_commands(buffer)
  end
end

vim.api.nvim_create_autocmd("FileType", { pattern = "tez", callback = attach })

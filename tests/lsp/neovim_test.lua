-- Neovim's built-in client with dist/editors/nvim: diagnostics, hover, play from a line on
-- the JACK monitor, an edit heard while playing. Environment: TEZ, DEVICE, DUMP, SCORE.
local patience = 10000
local failed = false
local function check(what, ok, detail)
  io.stdout:write((ok and "ok   " or "FAIL ") .. what .. (ok and "" or (": " .. vim.inspect(detail))) .. "\n")
  failed = failed or not ok
end
local function heard(bytes)
  return vim.wait(patience, function()
    local record = io.open(os.getenv("DUMP"))
    local text = record and record:read("*a") or ""
    if record then record:close() end
    return text:find(bytes, 1, true) ~= nil
  end, 20)
end

vim.g.tez_command = { os.getenv("TEZ"), "lsp" }
vim.g.tez_device = tonumber(os.getenv("DEVICE"))
vim.cmd("runtime plugin/tez.lua")
vim.cmd("edit " .. os.getenv("SCORE"))
check("a .tez file is a score", vim.bo.filetype == "tez", vim.bo.filetype)

vim.wait(patience, function() return #vim.diagnostic.get(0) > 0 end, 10)
local diagnostics = vim.diagnostic.get(0)
local first = diagnostics[1] or {}
check("the repair is shown at its line and column",
  #diagnostics == 1 and first.lnum == 1 and first.col == 6 and first.message:find("key 200") ~= nil, diagnostics)

local client = vim.lsp.get_active_clients()[1]
local hover = client.request_sync("textDocument/hover",
  { textDocument = { uri = vim.uri_from_bufnr(0) }, position = { line = 0, character = 0 } }, patience, 0)
local text = hover and hover.result and hover.result.contents.value or ""
check("hover names the note and its time", text:find("C4", 1, true) and text:find("0:00.480", 1, true), text)

vim.api.nvim_win_set_cursor(0, { 3, 0 })
vim.cmd("TezPlay")
check("play from the cursor's line is heard", heard("91 3c 64"))
local sounding = vim.api.nvim_create_namespace("tez_sounding")
check("the sounding line is highlighted", vim.wait(patience, function()
  return #vim.api.nvim_buf_get_extmarks(0, sounding, 0, -1, {}) > 0
end, 10))
vim.api.nvim_buf_set_lines(0, 20, 21, false, { "I60 K72 V100 L50" })
check("a line edited while playing is heard", heard("91 48 64"))
vim.cmd("TezStop")
check("stop resets the device", heard("bf 79 00"))
vim.cmd(failed and "cquit 1" or "qall!")

// A minimal VS Code extension for tezplayer scores: starts `tez lsp` through
// vscode-languageclient and highlights the line that sounds. Install with
// `npm install && npx vsce package`, then "Install from VSIX".
const vscode = require("vscode");
const { LanguageClient } = require("vscode-languageclient/node");

let client;

function run(command, args) {
  return client.sendRequest("workspace/executeCommand", { command, arguments: args }).then(
    (message) => vscode.window.setStatusBarMessage("tez: " + message, 3000),
    (error) => vscode.window.showWarningMessage("tez: " + error.message));
}

function activate(context) {
  const settings = vscode.workspace.getConfiguration("tez");
  client = new LanguageClient("tez", "tezplayer", {
    command: settings.get("command", "tez"), args: ["lsp"],
  }, {
    documentSelector: [{ language: "tez" }],
    initializationOptions: { device: settings.get("device", -1) },
    synchronize: { configurationSection: "tez" },
  });
  const sounding = vscode.window.createTextEditorDecorationType({
    isWholeLine: true, backgroundColor: new vscode.ThemeColor("editor.selectionHighlightBackground"),
  });
  const editor = () => vscode.window.activeTextEditor;
  context.subscriptions.push(
    vscode.commands.registerCommand("tez.playHere", () =>
      run("tez.play", [editor().document.uri.toString(), editor().selection.active.line])),
    vscode.commands.registerCommand("tez.loopHere", () => {
      const { start, end } = editor().selection;
      const last = end.line > start.line && end.character === 0 ? end.line - 1 : end.line;
      return run("tez.loop", [editor().document.uri.toString(), start.line, last]);
    }),
    vscode.commands.registerCommand("tez.pauseHere", () => run("tez.pause", [])),
    vscode.commands.registerCommand("tez.stopHere", () => run("tez.stop", [])));
  client.start().then(() => {
    client.onNotification("tez/soundingLine", ({ uri, line }) => {
      for (const shown of vscode.window.visibleTextEditors) {
        if (shown.document.uri.toString() !== uri) continue;
        shown.setDecorations(sounding, line === null ? [] : [new vscode.Range(line, 0, line, 0)]);
      }
    });
  });
  context.subscriptions.push({ dispose: () => client && client.stop() });
}

module.exports = { activate, deactivate: () => client && client.stop() };

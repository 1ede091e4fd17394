// The context menus the engine may show (S_FALSE = 1) and those the host suppresses (S_OK = 0).
var kinds = [0, 1, 2, 3, 4, 5, 6, 9, 10, 11, 12];
var answers = "";
for (var i = 0; i < kinds.length; i++) answers += kinds[i] + "=" + host.menu(kinds[i]) + " ";
external.note(answers);
external.closeWindow();

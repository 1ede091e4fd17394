// A script message box shows nothing and the script goes on.
var answer = host.alert("Something to say");
external.note("alert answered " + answer);
external.closeWindow();

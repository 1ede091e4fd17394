// A thin layer over window.external, the host's script bridge.
// Methods without a result are called as statements; getProperty and retryMessageBox always have
// their values used. Numbers are passed as integers and flags as booleans.
var host = (function () {
  var ext = window.external;

  function text(value) {
    return value === null || value === undefined ? "" : String(value);
  }

  return {
    InstallStatus: { NotStart: 0, Completed: 1, Error: 2, Cancel: 3, EnvironmentNotMeet: 4 },

    getProperty: function (key) {
      var value = ext.getProperty(key);
      return text(value);
    },
    getNumber: function (key) {
      var value = parseInt(this.getProperty(key), 10);
      return isNaN(value) ? 0 : value;
    },
    setWindowSize: function (width, height) {
      ext.setWindowSize(width | 0, height | 0);
    },
    closeWindow: function () {
      ext.closeWindow();
    },
    download: function (url, callback) {
      ext.download(String(url), function (code) {
        callback(code | 0);
      });
    },
    install: function (parameters, callback) {
      ext.install(String(parameters), function (code) {
        callback(code | 0);
      });
    },
    setChannel: function (channel) {
      ext.setChannel(String(channel));
    },
    setInstallStatus: function (status) {
      ext.setInstallStatus(status | 0);
    },
    startInstallProgram: function (args) {
      ext.startInstallProgram(String(args || ""));
    },
    hideWindow: function () {
      ext.hideWindow();
    },
    dragWindow: function () {
      ext.dragWindow();
    },
    messageBox: function (message, caption) {
      ext.messageBox(String(message), String(caption));
    },
    disableCloseWindow: function (disable) {
      ext.disableCloseWindow(disable ? true : false);
    },
    restoreWindow: function () {
      ext.restoreWindow();
    },
    openPage: function (url) {
      ext.openPage(String(url));
    },
    retryMessageBox: function (message) {
      var retry = ext.retryMessageBox(String(message));
      return retry === true;
    }
  };
}());

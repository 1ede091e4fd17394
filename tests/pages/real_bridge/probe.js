// Served into the refusal run's page and loaded by the test after the page settled: uses of
// window.external that the pages never make, to see the real bridge refuse them through the proxy
// (the HRESULT in the error's number) and keep expando members.
var bridgeProbe = (function () {
  var ext = window.external;
  var probe = { refused: [] };
  function refusedNumber(call) {
    try {
      call();
    } catch (e) {
      return e.number;
    }
    return 0;
  }
  // Out of range: STG_E_INVALIDPARAMETER.
  probe.refused.push(refusedNumber(function () { ext.setInstallStatus(9); }));
  // A statement method whose value is used (flags 3): DISP_E_MEMBERNOTFOUND.
  probe.refused.push(refusedNumber(function () { var unused = ext.setChannel("probe"); return unused; }));
  // getProperty as a statement (flags 1): DISP_E_MEMBERNOTFOUND.
  probe.refused.push(refusedNumber(function () { ext.getProperty("lang"); }));
  // A double where an integer is expected: DISP_E_TYPEMISMATCH.
  probe.refused.push(refusedNumber(function () { ext.setWindowSize(600.5, 400); }));
  ext.qrxProbe = "kept";
  probe.expando = ext.qrxProbe;
  delete ext.qrxProbe;
  probe.deleted = typeof ext.qrxProbe;
  probe.lang = ext.getProperty("lang");
  return probe;
}());

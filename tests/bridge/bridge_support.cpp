#include "bridge/bridge_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/host_window.h"
#include "support/test_support.h"

namespace bridgetest {

qrx::StartFacts SampleFacts() {
  qrx::StartFacts facts;
  facts.productInstalled = false;
  facts.serverOs = false;
  facts.dpi = 96;
  facts.screenHeight = 1024;
  facts.osVersion = L"10.0";
  return facts;
}

TestBridge::TestBridge() : TestBridge(SampleFacts()) {}

TestBridge::TestBridge(const qrx::StartFacts& facts)
    : info(L"QRX", L"1.0.79.1"), reporter(&info), logger(new qrx::Logger()) {
  bridge = new qrx::QRXExternal(&info, &reporter, logger.get(), facts);
  bridge->AttachWorkers(&workers);
  bridge->AttachWindowControl(&qrx::HostWindowControl());
}

TestBridge::~TestBridge() {
  if (bridge) {
    EXPECT_TRUE(workers.Join(60000)) << "every worker ended";
    EXPECT_EQ(bridge->Release(), 0u) << "the bridge count returns to zero";
  }
}

std::vector<std::string> TestBridge::LogMessages() const { return LogMessagesOf(logger->path()); }

std::vector<std::string> ScriptMethodLines(const std::vector<std::string>& lines) {
  std::vector<std::string> result;
  for (const std::string& line : lines) {
    if (line.compare(0, 2, "ZS") == 0) result.push_back(line);
  }
  return result;
}

std::vector<std::string> LogMessagesOf(const std::wstring& path) {
  const std::string text = qrxtest::ReadFileBytes(path);
  std::vector<std::string> messages;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t prefixEnd = line.find("] ");
    messages.push_back(prefixEnd == std::string::npos ? line : line.substr(prefixEnd + 2));
    start = end + 1;
  }
  return messages;
}

VARIANT IntArg(LONG value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT BoolArg(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT DoubleArg(double value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}

VARIANT TextArg(const wchar_t* text, UINT length) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(text, length);
  return v;
}

VARIANT TextArg(const wchar_t* text) { return TextArg(text, static_cast<UINT>(wcslen(text))); }

HRESULT CallMethod(IDispatch* target, DISPID id, WORD flags, std::vector<VARIANT> scriptArgs, VARIANT* result) {
  std::vector<VARIANT> args(scriptArgs.rbegin(), scriptArgs.rend());
  DISPPARAMS params = {args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()), 0};
  const HRESULT hr = target->Invoke(id, IID_NULL, 0, flags, &params, result, nullptr, nullptr);
  for (VARIANT& v : args) VariantClear(&v);
  return hr;
}

}  // namespace bridgetest

#include "installer/product_codes.h"

namespace qrx {

const wchar_t* const kProductCodeP[8] = {
    L"{7D43EFBF-A772-4ED4-9518-4464F71DCEFA}",  // P1
    L"{498CDA30-F37C-4550-A5FD-182CB49C8890}",  // P2
    L"{1F12137A-89B9-4938-8C2F-648880524B50}",  // P3
    L"{1E72DA23-A285-4375-9EFE-A22BAE4F6AD5}",  // P4
    L"{6FD89B9D-C1A0-4C04-8FA8-F1D0E023E97A}",  // P5
    L"{7E48D06E-3A9D-4B35-911C-B0822D0D7DA6}",  // P6
    L"{01BDACBA-2E21-41D2-82FE-7EF1E22AFCBA}",  // P7
    L"{8B0ECDA2-E9F6-42EA-9166-C65567A90C20}",  // P8
};

const wchar_t* const kProductCodes32[kProductCodeCount] = {
    kProductCodeP[0], kProductCodeP[1], kProductCodeP[2], kProductCodeP[3], kProductCodeP[4], kProductCodeP[5]};
const wchar_t* const kProductCodes64[kProductCodeCount] = {
    kProductCodeP[0], kProductCodeP[2], kProductCodeP[3], kProductCodeP[6], kProductCodeP[7], kProductCodeP[5]};

const wchar_t* const* ProductCodesFor(const std::wstring& osBits) {
  return osBits == L"64" ? kProductCodes64 : kProductCodes32;
}

const wchar_t* MainProductCodeFor(const std::wstring& osBits) {
  return osBits == L"64" ? kProductCodeP[6] : kProductCodeP[1];
}

const wchar_t* const kInstalledCheckCode = kProductCodeP[5];

const wchar_t kProductRegistryKey[] = L"Software\\Halvard\\Lumenary Pro\\R7";
const wchar_t kProductDirectoryValue[] = L"Directory";
const wchar_t kProductProgramName[] = L"Halvard Lumenary Pro.exe";

}  // namespace qrx

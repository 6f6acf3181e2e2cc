// utlflsw_tp18: derives every file name from the base name and opens the file
// set on its channels. utpfls: opens or closes one channel by mode number.
#pragma once

#include <string_view>

namespace qx {
struct Run;
void utlflsw_tp18(Run& run, int& irtn);
void utpfls(Run& run, std::string_view name, int lclfnu, int key, int& ioop);
}  // namespace qx

// The files of the report page, compiled in as text (embed_files.cmake): the
// page's template, styles and script, and the vendored uPlot with its
// licence.
#pragma once

#include <string_view>

namespace qxdump::page_assets {

extern const std::string_view report_html;
extern const std::string_view report_css;
extern const std::string_view data_js;
extern const std::string_view model_view_js;
extern const std::string_view model_overlay_js;
extern const std::string_view plots_js;
extern const std::string_view blocks_js;
extern const std::string_view maxima_js;
extern const std::string_view report_js;
extern const std::string_view uplot_js;
extern const std::string_view uplot_css;
extern const std::string_view uplot_license;

}  // namespace qxdump::page_assets

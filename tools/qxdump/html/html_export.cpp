#include "html_export.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dump_print.hpp"
#include "output_file.hpp"
#include "page_arrays.hpp"
#include "page_assets.hpp"
#include "qx_version.hpp"
#include "report_builder.hpp"

namespace qxdump {

namespace {

// The template names what goes where as "@qx:NAME@".
constexpr std::string_view marker_open = "@qx:", marker_close = "@";

std::string_view asset(std::string_view name) {
  struct Named {
    std::string_view name, text;
  };
  const Named assets[] = {
      {"uplot-css", page_assets::uplot_css},         {"report-css", page_assets::report_css},
      {"uplot-license", page_assets::uplot_license}, {"uplot-js", page_assets::uplot_js},
      {"data-js", page_assets::data_js},             {"model-view-js", page_assets::model_view_js},
      {"model-overlay-js", page_assets::model_overlay_js},
      {"plots-js", page_assets::plots_js},           {"blocks-js", page_assets::blocks_js},
      {"maxima-js", page_assets::maxima_js},         {"report-js", page_assets::report_js},
  };
  for (const Named& a : assets)
    if (a.name == name) return a.text;
  return {};
}

class PageExport {
 public:
  PageExport(std::FILE* f, const std::vector<std::string>& paths, const HtmlOptions& options)
      : file_(f), arrays_(file_), builder_(arrays_, report_options(options)), paths_(paths) {}

  // Writes the page; false on a failure, told by `who` and `why`.
  bool write() {
    std::string_view rest = page_assets::report_html;
    while (true) {
      const std::size_t at = rest.find(marker_open);
      if (at == std::string_view::npos) break;
      const std::size_t end = rest.find(marker_close, at + marker_open.size());
      if (end == std::string_view::npos) break;
      file_.put(rest.substr(0, at));
      const std::string_view name = rest.substr(at + marker_open.size(), end - at - marker_open.size());
      rest = rest.substr(end + marker_close.size());
      if (name == "arrays") {
        if (!read_files()) return false;
      } else if (name == "index") {
        if (!builder_.write_index("qxdump " + std::string(qx::program_version), file_)) {
          why = builder_.problem();
          return false;
        }
      } else {
        file_.put(asset(name));
      }
      if (!file_.ok()) return write_failed();
    }
    file_.put(rest);
    return file_.flush() || write_failed();
  }

  std::string who, why;

 private:
  static ReportOptions report_options(const HtmlOptions& options) {
    ReportOptions r;
    r.interrupted = options.interrupted;
    r.codes = options.codes;
    return r;
  }
  bool read_files() {
    for (const std::string& path : paths_) {
      std::string problem;
      const ReadStatus status = read_file(path, builder_, problem);
      if (status == ReadStatus::ok && file_.ok()) continue;
      if (!file_.ok()) return write_failed();
      who = printable_text(path);
      why = status == ReadStatus::bad_input ? problem : builder_.problem();
      return false;
    }
    return true;
  }
  bool write_failed() {
    why = std::string("cannot be written: ") + std::strerror(errno);
    return false;
  }

  PageFile file_;
  PageArrays arrays_;
  ReportBuilder builder_;
  const std::vector<std::string>& paths_;
};

}  // namespace

int export_html(const std::vector<std::string>& paths, const std::string& out_path, const HtmlOptions& options,
                qx::TextSink& err) {
  qxtools::ExportFile out = export_file(out_path, err);
  if (out.create() != 0) return 1;
  std::FILE* f = std::fopen(out.path().c_str(), "wb");
  if (!f) return out.fail(out.name(), std::string("cannot be written: ") + std::strerror(errno));
  int result = 0;
  {
    PageExport page(f, paths, options);
    if (!page.write()) result = out.fail(page.who.empty() ? out.name() : page.who, page.why);
  }
  if (std::fclose(f) != 0 && result == 0)
    result = out.fail(out.name(), std::string("cannot be written: ") + std::strerror(errno));
  return result == 0 ? out.take_name() : result;
}

}  // namespace qxdump

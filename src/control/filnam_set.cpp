#include "control/filnam_set.hpp"

#include <ostream>

#include "format/file_names.hpp"
#include "io/free_form.hpp"
#include "io/os_file.hpp"
#include "io/trim_right.hpp"
#include "run/run.hpp"

namespace qx {

namespace {

constexpr std::size_t name_length = 256;  // inpdt_name and rslt_name
constexpr std::size_t option_length = 5;  // opt: the part of an argument that is compared

// Lines of the dialogue as the terminal shows them, without the blank that
// every free-form line begins with.
constexpr std::string_view banner[] = {
    "+++++++++++++++++++++++++++++++++++++++++",
    "+                                       +",
    "+  Zelvorith for Quarndimex             +",
    "+                                       +",
    "+  Converte : *.TP18,      *.TP19       +",
    "+       -->   *_QX2D.TP18, *_QX2D.TP19  +",
    "+       -->   *_QXSH.TP18, *_QXSH.TP19  +",
    "+                                       +",
    "++++++++++++++++++++++++++++++++++++++++",
};

constexpr std::string_view stars61 = "*************************************************************";
constexpr std::string_view stars58 = "**********************************************************";
constexpr std::string_view stars48 = "************************************************";
constexpr std::string_view pluses41 = "+++++++++++++++++++++++++++++++++++++++++";
constexpr std::string_view pluses56 = "++++++++++++++++++++++++++++++++++++++++++++++++++++++++";

constexpr std::string_view little_endian = "LITTLE_ENDIAN";
constexpr std::string_view big_endian = "BIG_ENDIAN   ";

// The run options: each of the twelve forms and the switch it sets.
struct RunOption {
  std::string_view form;
  int4 ComValTp18::*flag;
};
constexpr RunOption run_options[] = {
    {"-stru", &ComValTp18::stru}, {"-STRU", &ComValTp18::stru}, {"-spec", &ComValTp18::spec},
    {"-SPEC", &ComValTp18::spec}, {"-ampl", &ComValTp18::ampl}, {"-AMPL", &ComValTp18::ampl},
    {"-wave", &ComValTp18::wave}, {"-WAVE", &ComValTp18::wave}, {"-maxr", &ComValTp18::maxr},
    {"-MAXR", &ComValTp18::maxr}, {"-four", &ComValTp18::four}, {"-FOUR", &ComValTp18::four},
};

void line(Run& run, std::initializer_list<std::string_view> items) { free_form_write(run.term.out, items); }
void empty_line(Run& run) { free_form_write(run.term.out, {}); }

// Reads one answer; the questions must be on the screen before the program waits.
int answer(Run& run, std::string& value, std::size_t length) {
  run.term.out.flush();
  return free_form_read(run.term.in, value, length);
}

void ask_input_data_file(Run& run) {
  empty_line(run);
  line(run, {stars61});
  line(run, {"(1) Please type the MODE1 input data file name (ex: *.qxin) :"});
  line(run, {stars61});
}

void refuse_input_data_file(Run& run) {
  empty_line(run);
  line(run, {pluses41});
  line(run, {"  ERROR...MODE1 input file is not exist !"});
  line(run, {"  file name = ", run.val.inpdt_name});
  line(run, {pluses41});
}

void ask_result_file(Run& run) {
  empty_line(run);
  line(run, {stars58});
  line(run, {"(2) Please type the RESULT data file name ( ex. *.TP18 ) :"});
  line(run, {stars58});
}

void refuse_result_files(Run& run) {
  const std::string& base = run.val.rslt_name;
  empty_line(run);
  line(run, {pluses56});
  line(run, {"ERROR...the file name (*.TP18 and *.TP19) is not exist !"});
  line(run, {" file name = ", base, ".TP18 or ", base, ".TP19)"});
  line(run, {pluses56});
}

void ask_byte_order(Run& run) {
  empty_line(run);
  line(run, {stars48});
  line(run, {"(3) Big_endian for output binary file ?(Yes/No):"});
  line(run, {"      ( Default : No - little_endian )"});
  line(run, {stars48});
}

// The option form that the argument's first five characters (blank-padded)
// spell, or none.
const RunOption* find_run_option(std::string_view arg) {
  std::string opt(arg.substr(0, option_length));
  opt.resize(option_length, ' ');
  for (const RunOption& o : run_options)
    if (opt == o.form) return &o;
  return nullptr;
}

// Sets the switch of every argument that spells an option form; anything
// else is passed over.
void scan_run_options(Run& run) {
  for (const std::string& arg : run.args)
    if (const RunOption* o = find_run_option(arg)) run.val.*o->flag = 1;
}

// Why a typed name was not taken as a file, in the user's words.
std::string not_a_file(const std::string& name) {
  if (name.empty()) return "no file name given";
  const std::string quoted = "'" + name + "'";
  os::FileFacts facts;
  if (name.find('\0') != std::string::npos) return "no such file " + quoted;
  const int error = os::facts_of(name, true, facts);
  if (error == 0) return quoted + (facts.type == os::FileType::directory ? " is a directory" : " is not a file");
  if (os::is_missing(error)) return "no such file " + quoted;
  return quoted + " cannot be reached (" + os::error_text(error) + ")";
}

std::string no_answer(char question) {
  return std::string("no answer to question (") + question + "): standard input ended";
}

}  // namespace

std::string_view run_option_form(std::string_view arg) {
  const RunOption* o = find_run_option(arg);
  return o ? o->form : std::string_view{};
}

std::string run_option_list() {
  std::string list;
  for (const RunOption& o : run_options)
    if (o.form[1] >= 'a' && o.form[1] <= 'z') {
      if (!list.empty()) list += ' ';
      list += o.form;
    }
  return list;
}

std::string result_base_name(std::string_view answer) {
  std::size_t dot = answer.rfind('.');
  return std::string(trim_right(dot == std::string_view::npos ? answer : answer.substr(0, dot)));
}

bool file_exists(std::string_view name) {
  const std::string path(trim_right(name));
  if (path.empty() || path.find('\0') != std::string::npos) return false;
  os::FileFacts facts;
  return os::facts_of(path, true, facts) == 0 && facts.type != os::FileType::directory;
}

void filnam_set(Run& run, int& irtn) {
  ComValTp18& val = run.val;
  irtn = 0;

  empty_line(run);
  for (std::string_view text : banner) line(run, {text});

  // (1) the MODE1 input data file: it must exist before anything else is asked.
  ask_input_data_file(run);
  std::string typed;
  irtn = answer(run, typed, name_length);
  val.inpdt_name = trim_right(typed);
  if (!file_exists(val.inpdt_name)) {
    refuse_input_data_file(run);
    run.term.out.flush();
    tell(run, irtn != 0 ? no_answer('1') : "question (1): " + not_a_file(val.inpdt_name));
    irtn = 1;
    return;
  }

  // (2) the result data file: only its base name is kept; at least one of
  // the two result files must exist.
  ask_result_file(run);
  irtn = answer(run, typed, name_length);
  val.rslt_name = result_base_name(typed);
  val.ltp18 = file_exists(val.rslt_name + std::string(format::tp18_names.input));
  val.ltp19 = file_exists(val.rslt_name + std::string(format::tp19_names.input));
  if (!val.ltp18 && !val.ltp19) {
    refuse_result_files(run);
    run.term.out.flush();
    tell(run, irtn != 0 ? no_answer('2')
                        : "question (2): neither " + val.rslt_name + ".TP18 nor " + val.rslt_name + ".TP19 exists");
    irtn = 1;
    return;
  }

  // (3) the byte order of the converted binary files: only the first
  // character of the answer counts.
  ask_byte_order(run);
  std::string endian;
  irtn = answer(run, endian, 1);
  val.conv = (endian == "Y" || endian == "y") ? big_endian : little_endian;
  empty_line(run);
  line(run, {"*** The output binary file is ", val.conv});
  run.term.out.flush();

  scan_run_options(run);
  if (irtn != 0) tell(run, no_answer('3'));
}

}  // namespace qx

#include "plot/history/history_format.hpp"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>

#include "plot/plot_file.hpp"
#include "plot/vtk/vtk_format.hpp"
#include "records/failure.hpp"
#include "records/number_writing.hpp"

namespace pz {

namespace {

constexpr std::string_view fixed_columns = "printout,time,element";
// The header before any printout: the fixed columns alone.
constexpr std::string_view fixed_header = "printout,time,element\n";

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string header_line(const std::vector<std::string>& names) {
  std::string line(fixed_columns);
  for (const std::string& name : names) {
    line.push_back(',');
    append_csv_field(line, name);
  }
  line.push_back('\n');
  return line;
}

void append_number(std::string& out, double value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, r.ptr);
}

// One printout's rows, made when it is written (on any thread), appended
// to the file when it is committed.
class HistoryPlot : public PrintoutPlot {
 public:
  HistoryPlot(const std::vector<HistoryElement>& elements, const std::vector<std::string>& labels)
      : elements_(elements), labels_(labels) {}

  void write(const PrintoutData& data, const PlotZones&, const Mesh&) override {
    time = data.time;
    number = data.number;
    names = value_names(data);  // the columns after the fixed ones
    // The fields every row of the printout begins with (its time as the
    // VTK collection lists it).
    const std::string lead = std::to_string(data.number) + "," + number_text(data.time) + ",";
    constexpr std::size_t longest_number = 24;  // "-2.2250738585072014e-308"
    rows.reserve(elements_.size() * (lead.size() + 16 + static_cast<std::size_t>(data.slot_count) * (longest_number + 1)));
    for (std::size_t i = 0; i < elements_.size(); ++i) {
      const int e = elements_[i].element;
      rows += lead;
      rows += labels_[i];
      for (int j = 0; j < data.array_count; ++j) {
        const ValueArray& a = data.arrays[static_cast<std::size_t>(j)];
        const PrintoutData::SlotBlock& block = data.block_of(a.first_slot);
        const int slot = a.first_slot - 1 - block.first_slot;
        for (int k = 0; k < a.components; ++k) {
          rows.push_back(',');
          append_number(rows, binary_value(block.value(e, slot + k)));
        }
      }
      rows.push_back('\n');
    }
  }
  void commit() override {}

  long number = 0;
  std::vector<std::string> names;
  std::string rows;

 private:
  const std::vector<HistoryElement>& elements_;
  const std::vector<std::string>& labels_;  // the elements' names as CSV fields
};

// Where a printout's columns first differ from the first printout's.
std::string difference(const std::vector<std::string>& names, const std::vector<std::string>& first, long first_number) {
  const std::string of_first = "printout " + std::to_string(first_number);
  for (std::size_t i = 0; i < names.size() && i < first.size(); ++i) {
    if (names[i] != first[i])
      return "its column " + std::to_string(i + 4) + " is \"" + names[i] + "\" where " + of_first + " has \"" +
             first[i] + "\"";
  }
  return "it has " + std::to_string(names.size() + 3) + " columns where " + of_first + " has " +
         std::to_string(first.size() + 3);
}

// The history file: put in place with its fixed columns' header when the
// run begins; the first printout committed writes it anew with its
// columns' header and its rows, every later one appends its rows. Each
// commit is one write; one cut short (a full disk, a file-size limit)
// leaves the file as it stood before.
class HistoryWriter : public PlotWriter {
 public:
  HistoryWriter(const std::string& base_name, std::vector<HistoryElement> elements)
      : name_(history_file_name(base_name)), elements_(std::move(elements)) {
    for (const HistoryElement& e : elements_) {
      labels_.emplace_back();
      append_csv_field(labels_.back(), e.name);
    }
    PlotFile file(name_);
    file.out().put(fixed_header);
    fd_ = file.commit_open();
    tail_ = static_cast<off_t>(fixed_header.size());
  }
  ~HistoryWriter() override {
    if (fd_ >= 0) ::close(fd_);
  }
  HistoryWriter(const HistoryWriter&) = delete;
  HistoryWriter& operator=(const HistoryWriter&) = delete;

  std::unique_ptr<PrintoutPlot> begin(const std::string&) const override {
    return std::make_unique<HistoryPlot>(elements_, labels_);
  }

  void commit(PrintoutPlot& committed) override {
    auto& plot = static_cast<HistoryPlot&>(committed);
    if (!first_names_) {
      first_names_ = plot.names;
      first_number_ = plot.number;
      const std::string text = header_line(plot.names) + plot.rows;
      put(text, 0, fixed_header);
      tail_ = static_cast<off_t>(text.size());
      return;
    }
    if (plot.names != *first_names_) {
      warn("printout " + std::to_string(plot.number) + ": " + difference(plot.names, *first_names_, first_number_) +
           "; the history (" + file_name_part(name_) + ") has no rows for it");
      return;
    }
    put(plot.rows, tail_, {});
    tail_ += static_cast<off_t>(plot.rows.size());
  }

 private:
  // Writes text at `at`, where the file holds `before` up to its end.
  void put(const std::string& text, off_t at, std::string_view before) {
    const ssize_t written = ::pwrite(fd_, text.data(), text.size(), at);
    if (written == static_cast<ssize_t>(text.size())) return;
    const int error = written < 0 ? errno : ENOSPC;
    if (written > 0 && ::pwrite(fd_, before.data(), before.size(), at) == static_cast<ssize_t>(before.size()))
      static_cast<void>(::ftruncate(fd_, at + static_cast<off_t>(before.size())));
    fail(failure::write, Source{unit::plot, name_}, Routine::main_program, file_error(name_, error));
  }

  std::string name_;
  std::vector<HistoryElement> elements_;
  std::vector<std::string> labels_;  // each element's name as a CSV field
  int fd_ = -1;
  off_t tail_ = 0;  // the file's length
  std::optional<std::vector<std::string>> first_names_;
  long first_number_ = 0;
};

}  // namespace

void append_csv_field(std::string& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(field);
    return;
  }
  out.push_back('"');
  for (const char c : field) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

HistoryList read_history_list(const std::string& file) {
  HistoryList list{file, {}};
  LineReader in;
  in.open(file, Source{unit::list, file}, Routine::main_program);
  std::string_view record;
  while (in.next(record)) {
    while (!record.empty() && is_blank(record.back())) record.remove_suffix(1);
    if (record.empty()) continue;
    list.names.push_back({std::string(record), in.line_number()});
  }
  return list;
}

std::vector<HistoryElement> history_elements(const HistoryList& list, const Mesh& mesh) {
  std::vector<HistoryElement> elements;
  const Elements& all = mesh.elements;
  std::vector<bool> listed(static_cast<std::size_t>(all.located) + 1);
  for (const HistoryList::Entry& entry : list.names) {
    std::string name(entry.name);
    if (name.size() < 5) name.resize(5, ' ');
    const int e = name.size() == 5 ? find_element(mesh.name_index, name, all.located) : 0;
    if (e == 0) {
      std::string why;
      if (name.size() > 5)
        why = "an element name has 5 characters, this line " + std::to_string(name.size());
      else if (find_element(mesh.name_index, name, all.count) != 0)
        why = "that element has no position in the mesh, so no plot holds it";
      else
        why = "no element of the mesh bears that name (5 characters, blanks and case count)";
      stop("unknown element \"" + name + "\" in the history list",
           list.file + ", line " + std::to_string(entry.line) + ": " + why);
    }
    if (listed[static_cast<std::size_t>(e)]) continue;
    listed[static_cast<std::size_t>(e)] = true;
    elements.push_back({e, std::move(name)});
  }
  return elements;
}

std::string history_file_name(const std::string& base_name) { return base_name + ".history.csv"; }

std::unique_ptr<PlotWriter> make_history_writer(const std::string& base_name, std::vector<HistoryElement> elements) {
  return std::make_unique<HistoryWriter>(base_name, std::move(elements));
}

}  // namespace pz

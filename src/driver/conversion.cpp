#include "driver/conversion.hpp"

#include <string>

#include "plot/plot_file.hpp"
#include "records/failure.hpp"

namespace pz {

namespace {

void catalogue(long n, std::string_view text) {
  std::string line = " Found printout(" + std::to_string(n) + "): ";
  line.append(text);
  line.push_back('\n');
  write_console(line);
}

// Whether a line may begin a printout or head a table: its text after
// column 1 begins with a "t" (total time), an "o" (output after) or an "e"
// (elem), in any case, or its column 1 holds an "e" (a heading printed from
// column 1). Nearly every line between tables is none of these.
bool may_matter(std::string_view record) {
  if (!record.empty() && (record[0] | 0x20) == 'e') return true;
  const char initial = text_initial(record);
  return initial == 't' || initial == 'o' || initial == 'e';
}

// Reads on to the next line that may matter (see may_matter) as the scan's
// current line; the lines passed over are neither copied nor lower-cased.
bool next_line_that_may_matter(LineReader& in, ScanLine& line) {
  std::string_view record;
  if (!in.next_wanted(record, may_matter)) return false;
  line.assign(record);
  return true;
}

}  // namespace

bool skip_to_printout(LineReader& in, ScanLine& line, PrintoutLayout& layout, std::string_view current_steps) {
  while (!begins_printout(line.text.view(), layout, current_steps)) {
    if (!next_line_that_may_matter(in, line)) return false;
  }
  return true;
}

bool read_label(LineReader& in, const ScanLine& line, PrintoutLayout layout, long number, PrintoutLabel& label) {
  if (layout == PrintoutLayout::output_after) {
    label = output_after_label(*read_output_after(line.text.view()), number);
    return true;
  }
  std::string_view record;
  if (!in.next(record)) return false;
  label = values_line_label(record, number);
  return true;
}

std::unique_ptr<PrintoutPlot> Conversion::printout(LineReader& in, ScanLine& line, PrintoutLayout layout,
                                                   const PrintoutLabel& label, long number, PrintoutData& data,
                                                   PrintoutEnd& end) const {
  if (!settings.quiet) catalogue(number, label.shown);
  std::unique_ptr<PrintoutPlot> plot = writer.begin(plot_file_name(base_name, number));
  data.number = number;
  data.start(settings.projection, true);
  end = PrintoutEnd::end_of_file;
  // Letter lines end tables, and ELEM1 ELEM1 heads one, in the layout of
  // OUTPUT AFTER lines only.
  TableSettings table_settings = tables;
  table_settings.letter_lines = layout == PrintoutLayout::output_after;
  while (next_line_that_may_matter(in, line)) {
    if (begins_printout(line.text.view(), layout, label.steps)) {
      end = PrintoutEnd::header_line;
      break;
    }
    if (!line.is_heading()) continue;
    const TableOutcome outcome = read_table(in, line, table_settings, mesh, data);
    // A header line that ended a table is the scan's current line.
    if (outcome == TableOutcome::header) end = PrintoutEnd::header_line;
    if (outcome == TableOutcome::overflow) end = PrintoutEnd::skip_rest;
    if (outcome == TableOutcome::header || outcome == TableOutcome::overflow ||
        outcome == TableOutcome::end_of_file)
      break;
  }
  data.time = label.time;
  // The messages of the zone file's unknown names come with every plot.
  write_console(zones.messages, false);
  plot->write(data, zones, mesh);
  flush_console();
  return plot;
}

}  // namespace pz

// The history of chosen elements: one CSV file for the run,
// run.out.history.csv, with a row per printout and element, for time plots
// of a few elements (a well, a monitoring point) over every printout.
//
//   printout,time,element,P,T,X(WAT1),FGAS_x,FGAS_y
//   1,86400,A1  1,101300,20,0.001,2.5e-06,0
//   1,86400,B3  7,101250,20.5,0.00098,0,-1.25e-06
//   2,864000,A1  1,...
//
// The printout's number (from 1) and time (as the VTK collection lists
// it), the element's name as the list gives it, then every value the plot
// files hold for that element, each written in the shortest form that
// reads back to the same 64-bit value. The values are named as the VTK
// files name their arrays, a vector's components by the name, "_" and the
// plotted coordinate's letter. A field that holds a comma, a double quote
// or a line end is put in double quotes, its double quotes doubled
// (RFC 4180); lines end in "\n".
//
// Rows follow in printout order, and within a printout in the order of the
// list of elements. The file is written beside the plot files, under a
// temporary name and moved into place when the run begins, then grows by
// each printout's rows once that printout is committed: it always holds
// whole printouts, as far as the run got. A printout whose columns differ
// from those of the first printout gets a warning and no rows.
//
// The list of elements is a text file of one name a line, the name in
// columns 1-5 (a shorter line is padded with blanks, blanks after the
// fifth column are passed over); lines of blanks alone are passed over.
// Names are compared as the mesh's name index compares them (a "0" in the
// fourth character is a blank). An element listed twice keeps its first
// place only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "mesh/mesh.hpp"
#include "plot/plot.hpp"

namespace pz {

// The list of elements as read: each name with its line.
struct HistoryList {
  struct Entry {
    std::string name;  // as the line holds it, trailing blanks cut
    long long line = 0;
  };
  std::string file;
  std::vector<Entry> names;
};

// Reads the list file (a missing or unreadable file ends the run with the
// file's failure, unit 1).
HistoryList read_history_list(const std::string& file);

// An element of the history and its name as the list gives it (5
// characters), which its rows show.
struct HistoryElement {
  int element = 0;
  std::string name;
};

// The located elements of the list, in its order, each once (at its first
// place, by whichever name found it first). A name that no located element
// bears stops the run: 'unknown element "NAME " in the history list', with
// the file and line.
std::vector<HistoryElement> history_elements(const HistoryList& list, const Mesh& mesh);

// The history file of a run: the base name and ".history.csv".
std::string history_file_name(const std::string& base_name);

// The writer of the history of `elements` into history_file_name(base_name),
// created at once.
std::unique_ptr<PlotWriter> make_history_writer(const std::string& base_name, std::vector<HistoryElement> elements);

// Appends field to out as a CSV field: quoted where it holds a comma, a
// double quote, a carriage return or a line feed.
void append_csv_field(std::string& out, std::string_view field);

}  // namespace pz

#include "plot/writer_list.hpp"

namespace pz {

namespace {

// A printout's plot in every format: each part written, then committed, in
// turn. A failure leaves the parts not committed to remove their files.
class PlotList : public PrintoutPlot {
 public:
  explicit PlotList(std::vector<std::unique_ptr<PrintoutPlot>> parts) : parts(std::move(parts)) {}

  void write(const PrintoutData& data, const PlotZones& zones, const Mesh& mesh) override {
    time = data.time;
    for (const auto& part : parts) part->write(data, zones, mesh);
  }
  void commit() override {
    for (const auto& part : parts) part->commit();
  }

  std::vector<std::unique_ptr<PrintoutPlot>> parts;  // by the writers' order
};

class WriterList : public PlotWriter {
 public:
  explicit WriterList(std::vector<std::unique_ptr<PlotWriter>> writers) : writers_(std::move(writers)) {}

  std::unique_ptr<PrintoutPlot> begin(const std::string& plot_name) const override {
    std::vector<std::unique_ptr<PrintoutPlot>> parts;
    for (const auto& writer : writers_) parts.push_back(writer->begin(plot_name));
    return std::make_unique<PlotList>(std::move(parts));
  }

  // Each part as its own writer commits it (the VTK collection lists it).
  void commit(PrintoutPlot& plot) override {
    auto& list = static_cast<PlotList&>(plot);
    for (std::size_t i = 0; i < writers_.size(); ++i) writers_[i]->commit(*list.parts[i]);
  }

 private:
  std::vector<std::unique_ptr<PlotWriter>> writers_;
};

}  // namespace

std::unique_ptr<PlotWriter> make_writer_list(std::vector<std::unique_ptr<PlotWriter>> writers) {
  if (writers.size() == 1) return std::move(writers.front());
  return std::make_unique<WriterList>(std::move(writers));
}

}  // namespace pz

#pragma once
// The bar across the top of the main window that shows where the voter stands among the four
// stages. Stage 4 (the result view) marks all four as passed.

#include <FL/Fl_Widget.H>

#include <string>
#include <vector>

namespace sorvimend {

class RoadmapBar : public Fl_Widget {
 public:
  RoadmapBar(int x, int y, int w, int h, Fl_Color passed, Fl_Color current, Fl_Color future, int labelSize);

  void addStage(std::string label);
  void stage(int index);  // 0 to 4; redraws only on a change
  [[nodiscard]] int stage() const { return stage_; }
  [[nodiscard]] std::size_t stageCount() const { return stages_.size(); }
  // Centre of stage i in window coordinates (valid after the first drawing measured the labels).
  [[nodiscard]] int stageCentre(std::size_t i) const;
  [[nodiscard]] bool measured() const { return measured_; }

 protected:
  void draw() override;

 private:
  struct Stage {
    std::string label;
    int width = 0;
  };
  int spacing() const;

  Fl_Color passed_;
  Fl_Color current_;
  Fl_Color future_;
  std::vector<Stage> stages_;
  int stage_ = 0;
  bool measured_ = false;
};

}  // namespace sorvimend

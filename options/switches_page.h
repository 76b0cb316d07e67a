#pragma once
// The "Options" page: the channel and IRC switches, check boxes only (the
// dialog fills and reads them with every other check box).
#include "options/page_widget.h"

namespace kolu {

class SwitchesPage final : public OptionsPageWidget {
    Q_OBJECT
  public:
    explicit SwitchesPage(QWidget* parent = nullptr);
    void load(const OptionsPages&) override {}
    void store(OptionsPages&) const override {}
};

}  // namespace kolu

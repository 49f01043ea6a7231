#pragma once
// A widget made with its component name as its object name, owned by its
// parent, as every window of the program builds its children.
#include <QWidget>

namespace kalvorin::config {

template <class W>
W* named(QWidget* owner, const char* name) {
    auto* widget = new W(owner);
    widget->setObjectName(name);
    return widget;
}

}  // namespace kalvorin::config

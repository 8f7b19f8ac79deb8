// A popup as a desktop runs it: Qt's own list opened on the popup's current
// item (which Qt highlights before the list shows), then keys sent to the
// open list. The keys end with Return (a pick) or Escape; the list is
// closed after them.
#pragma once

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>

#include <gtest/gtest.h>

#include <initializer_list>

#include "platform/toolbox/toolbox.h"
#include "platform/toolbox/toolbox_internal.h"

namespace vmktest {

inline void PopupKeys(plat::tb::ControlRef popup, std::initializer_list<Qt::Key> keys) {
  auto* combo = popup != nullptr ? qobject_cast<QComboBox*>(popup->widget.data()) : nullptr;
  ASSERT_NE(combo, nullptr);
  combo->showPopup();
  ASSERT_TRUE(combo->view()->isVisible());
  for (Qt::Key key : keys) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(combo->view(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(combo->view(), &release);
  }
  ASSERT_FALSE(combo->view()->isVisible());
}

}  // namespace vmktest

#pragma once
// Menu item labels changed in place: the File menu's item 40008 reads "Connect"
// while there is no connection and "Disconnect" while there is one. Items are
// found by the command id each QAction keeps as its data, in the given menu or
// menu bar and every popup under it.
#include <string_view>

class QAction;
class QWidget;

namespace kolu {

class ErrorLog;

// The action with command id `id` in `menu` (a QMenu or QMenuBar) or any popup
// under it; null when there is none.
QAction* findMenuItem(const QWidget* menu, int id);

// When the item's text (read as at most 63 characters) is exactly `oldText`,
// replaces it with `newText`. Returns whether the text was replaced. An item that
// can't be found is reported to `log` (when given) under "ZmienMenu".
bool ZmienMenu(QWidget* menu, int id, std::u16string_view oldText, std::u16string_view newText,
               ErrorLog* log = nullptr);
// "Connect" -> "Disconnect", when the connection is made.
bool ZmienMenuPolaczony(QWidget* menu, ErrorLog* log = nullptr);
// "Disconnect" -> "Connect", when the connection ends.
bool ZmienMenuRozlaczony(QWidget* menu, ErrorLog* log = nullptr);

}  // namespace kolu

#pragma once

// The window's own texts that are not in the string table: menus, dialog labels and buttons.
// Every text the ui shows goes through Tr() with one of the texts below, so the translations of
// context "NbxUi" cover them.

#include <QCoreApplication>
#include <QString>

namespace nbx::ui {

inline QString Tr(const char* english) {
    return QCoreApplication::translate("NbxUi", english);
}

// clang-format off
inline constexpr const char* kUiTexts[] = {
    // Menus.
    QT_TRANSLATE_NOOP("NbxUi", "&File"),
    QT_TRANSLATE_NOOP("NbxUi", "&Edit"),
    QT_TRANSLATE_NOOP("NbxUi", "&View"),
    QT_TRANSLATE_NOOP("NbxUi", "&Help"),
    QT_TRANSLATE_NOOP("NbxUi", "New Window (&W)"),
    QT_TRANSLATE_NOOP("NbxUi", "Exit Application (&X)"),
    QT_TRANSLATE_NOOP("NbxUi", "Opened Files List (&O)"),
    QT_TRANSLATE_NOOP("NbxUi", "Check for Updates (&C)"),
    QT_TRANSLATE_NOOP("NbxUi", "Node Configuration"),
    QT_TRANSLATE_NOOP("NbxUi", "About NimbexShell..."),
    QT_TRANSLATE_NOOP("NbxUi", "&Open"),
    QT_TRANSLATE_NOOP("NbxUi", "New &Folder"),
    QT_TRANSLATE_NOOP("NbxUi", "Create &Shortcut"),
    QT_TRANSLATE_NOOP("NbxUi", "On the &Desktop"),
    QT_TRANSLATE_NOOP("NbxUi", "In &Documents"),
    QT_TRANSLATE_NOOP("NbxUi", "In Another &Folder..."),
    QT_TRANSLATE_NOOP("NbxUi", "Copy &URL"),
    QT_TRANSLATE_NOOP("NbxUi", "Rena&me"),
    QT_TRANSLATE_NOOP("NbxUi", "&Edit Configuration..."),
    QT_TRANSLATE_NOOP("NbxUi", "&Delete"),
    QT_TRANSLATE_NOOP("NbxUi", "Cu&t"),
    QT_TRANSLATE_NOOP("NbxUi", "&Copy"),
    QT_TRANSLATE_NOOP("NbxUi", "&Paste"),
    QT_TRANSLATE_NOOP("NbxUi", "&Undo"),
    QT_TRANSLATE_NOOP("NbxUi", "Select &All"),
    QT_TRANSLATE_NOOP("NbxUi", "Arrange &By"),
    QT_TRANSLATE_NOOP("NbxUi", "&Name"),
    QT_TRANSLATE_NOOP("NbxUi", "&Size"),
    QT_TRANSLATE_NOOP("NbxUi", "&Type"),
    QT_TRANSLATE_NOOP("NbxUi", "Date &Created"),
    QT_TRANSLATE_NOOP("NbxUi", "&Refresh"),
    QT_TRANSLATE_NOOP("NbxUi", "Lar&ge Icons"),
    QT_TRANSLATE_NOOP("NbxUi", "&Icons"),
    QT_TRANSLATE_NOOP("NbxUi", "&Details"),
    QT_TRANSLATE_NOOP("NbxUi", "S&mall Icons"),
    QT_TRANSLATE_NOOP("NbxUi", "&List"),
    // Progress dialog.
    QT_TRANSLATE_NOOP("NbxUi", "Title"),
    QT_TRANSLATE_NOOP("NbxUi", "File Name"),
    QT_TRANSLATE_NOOP("NbxUi", "N/A"),
    QT_TRANSLATE_NOOP("NbxUi", "Total..."),
    QT_TRANSLATE_NOOP("NbxUi", "Cancel"),
    // About box.
    QT_TRANSLATE_NOOP("NbxUi", "About NimbexShell"),
    QT_TRANSLATE_NOOP("NbxUi", "%1 Version %2"),
    QT_TRANSLATE_NOOP("NbxUi", "All rights reserved."),
    QT_TRANSLATE_NOOP("NbxUi", "OK"),
    // Exit confirmation.
    QT_TRANSLATE_NOOP("NbxUi", "There are still some remote files opened:"),
    QT_TRANSLATE_NOOP("NbxUi", "Would you like to exit NimbexShell application?"),
    QT_TRANSLATE_NOOP("NbxUi", "Yes"),
    QT_TRANSLATE_NOOP("NbxUi", "No"),
    // Message boxes.
    QT_TRANSLATE_NOOP("NbxUi", "NimbexShell"),
    QT_TRANSLATE_NOOP("NbxUi", "This configuration dialog is not available yet."),
};
// clang-format on

}  // namespace nbx::ui

#pragma once

// The names of the shell's menus, commands and the groups where a
// document's commands go. A menu's or a command's id is its object name;
// menus merge by id and group, never by their visible titles.

namespace Deskbay::ShellIds {

// Menus of the strip. A document's menu of one of these ids joins that
// menu; a menu of another id ("view", "run") stands before "window".
inline constexpr const char* MenuFile = "file";
inline constexpr const char* MenuEdit = "edit";
inline constexpr const char* MenuView = "view";
inline constexpr const char* MenuRun = "run";
inline constexpr const char* MenuWindow = "window";
inline constexpr const char* MenuHelp = "help";

// Groups, the places in a shell menu where a document's commands go
// (SetMergeGroup); a document menu that names none goes to its menu's
// first group.
// "Файл": after the save commands, before Close (export, print).
inline constexpr const char* GroupFileExport = "file.export";
// "Правка": at the top, before Cut (undo, redo).
inline constexpr const char* GroupEditUndo = "edit.undo";
// "Правка": at the end, after Select All.
inline constexpr const char* GroupEditSelect = "edit.select";
// "?": after the help's contents.
inline constexpr const char* GroupHelpTopics = "help.topics";

// The shell's commands.
inline constexpr const char* FileNew = "file.new";
inline constexpr const char* FileOpen = "file.open";
inline constexpr const char* FileExamples = "file.examples";
inline constexpr const char* FileSave = "file.save";
inline constexpr const char* FileSaveAs = "file.saveAs";
inline constexpr const char* FileSaveAll = "file.saveAll";
inline constexpr const char* FileClose = "file.close";
inline constexpr const char* FileCloseAll = "file.closeAll";
inline constexpr const char* FileExit = "file.exit";
inline constexpr const char* EditCut = "edit.cut";
inline constexpr const char* EditCopy = "edit.copy";
inline constexpr const char* EditPaste = "edit.paste";
inline constexpr const char* EditDelete = "edit.delete";
inline constexpr const char* EditSelectAll = "edit.selectAll";
inline constexpr const char* WindowNext = "window.next";
inline constexpr const char* HelpContents = "help.contents";
inline constexpr const char* HelpAbout = "help.about";
inline constexpr const char* HelpModules = "help.modules";
inline constexpr const char* HelpApplications = "help.applications";

} // namespace Deskbay::ShellIds

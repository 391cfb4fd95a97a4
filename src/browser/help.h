#pragma once
// Help for every window of the program.
//
// A window asks for help by context number (the THelpContext values of
// browser/helptopics.h, e.g. hcMover for TavMover's Help button):
//
//     connect(helpButton, &QPushButton::clicked, [] { ShowHelpContext(hcMover); });
//
// F1 needs nothing from a tool window: once InstallHelpKeys() has run, F1 in
// any window opens the page of that window (found by the window's class
// name, which the tool-window registry sets as its object name). A window or
// a part of one whose page differs from its class's calls SetHelpContext.
// Showing help never blocks and works while a modal dialog is up.

#include <QString>
#include <QUrl>
#include <functional>

#include "browser/helptopics.h"

class QAction;
class QWidget;
class THelpWindow;

void ShowHelpContents();
void ShowHelpContext(int context);
// Opens the keyword search with its field focused.
void ShowHelpSearch();
// The page on using the help window.
void ShowHelpOnHelp();

// F1 inside `w` (or any widget in it) opens `context`.
void SetHelpContext(QWidget* w, int context);
// The context F1 opens for `w`: the nearest SetHelpContext value up the
// parent chain, else its window's page, else the contents.
int HelpContextOf(const QWidget* w);

// Makes F1 open help in every window of the application. Call once at start.
void InstallHelpKeys();

// The help window, created on first use; null when `create` is false and
// none exists yet.
THelpWindow* HelpWindow(bool create = true);

// "Contacting us...": the maker's web site and mail address. Empty entries
// hide their menu command rather than opening nothing. The build fills them
// (cmake -DTAV_HOMEPAGE_URL=... -DTAV_CONTACT_EMAIL=...).
struct TContactLinks {
    QString webSite;
    QString email;
};
const TContactLinks& ContactLinks();
// Replaces the table (tests); returns the previous one.
TContactLinks SetContactLinks(const TContactLinks& links);
// The URLs the two commands open (invalid when the entry is empty).
QUrl ContactWebUrl(const TContactLinks& links);
QUrl ContactMailUrl(const TContactLinks& links);

// How URLs leave the program (QDesktopServices::openUrl); tests replace it.
using TUrlOpener = std::function<bool(const QUrl&)>;
TUrlOpener SetUrlOpener(TUrlOpener opener);

// The Help menu's commands, wired to the help: "Contents" also on F1, the
// contact commands hidden where the table is empty.
struct THelpMenuActions {
    QAction* contents = nullptr;
    QAction* search = nullptr;
    QAction* overview = nullptr;
    QAction* howTo = nullptr;
    QAction* contactMenu = nullptr; // the "Contacting us..." submenu's action
    QAction* webSite = nullptr;
    QAction* email = nullptr;
};
void ConnectHelpMenu(const THelpMenuActions& m, QWidget* window);

// Registers the about box with the tool-window registry (call before the
// tool windows are created).
void RegisterHelpWindows();

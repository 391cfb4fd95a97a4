#include "browser/help.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QVariant>

#include "browser/helpwindow.h"
#include "platform/prompts.h"

#ifndef TAV_HOMEPAGE_URL
#define TAV_HOMEPAGE_URL ""
#endif
#ifndef TAV_CONTACT_EMAIL
#define TAV_CONTACT_EMAIL ""
#endif

namespace {

const char* kContextProperty = "tavHelpContext";

TContactLinks& Links() {
    static TContactLinks links{QStringLiteral(TAV_HOMEPAGE_URL), QStringLiteral(TAV_CONTACT_EMAIL)};
    return links;
}

TUrlOpener& Opener() {
    static TUrlOpener open = [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    return open;
}

void OpenUrl(const QUrl& url, QWidget* parent) {
    if (!url.isValid()) return;
    if (!Opener()(url)) ShowMessage("Could not open " + url.toDisplayString(), parent);
}

// Brings the help window up. While a modal dialog runs every other window is
// blocked, so the help window then becomes a window of that dialog and stays
// usable beside it.
THelpWindow* Present() {
    THelpWindow* w = HelpWindow();
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == w) modal = nullptr;
    if (w->parentWidget() != modal) {
        const QRect g = w->geometry();
        const bool placed = w->testAttribute(Qt::WA_Moved);
        w->setParent(modal, Qt::Window);
        if (placed) w->setGeometry(g);
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

// F1 anywhere: the page of the window (or part of it) that has the focus.
class THelpKeyFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* obj, QEvent* e) override {
        if (e->type() != QEvent::KeyPress) return false;
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() != Qt::Key_F1 || k->modifiers() != Qt::NoModifier) return false;
        auto* w = qobject_cast<QWidget*>(obj);
        if (!w) return false;
        if (!k->isAutoRepeat()) ShowHelpContext(HelpContextOf(w));
        return true;
    }
};

} // namespace

THelpWindow* HelpWindow(bool create) {
    // A dialog the window was lent to may take it along when it goes.
    static QPointer<THelpWindow> window;
    if (!window && create) {
        window = new THelpWindow;
        SetHelpContext(window, hcHowToUseHelp);
        // It has no owner: it goes when the program ends, before the
        // application object.
        if (qApp)
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, window,
                             [] { delete HelpWindow(false); });
    }
    return window;
}

void ShowHelpContents() {
    Present()->ShowPage(HelpContentsPage());
}

void ShowHelpContext(int context) {
    Present()->ShowContext(context);
}

void ShowHelpSearch() {
    Present()->ShowSearch();
}

void ShowHelpOnHelp() {
    Present()->ShowContext(hcHowToUseHelp);
}

void SetHelpContext(QWidget* w, int context) {
    if (w) w->setProperty(kContextProperty, context);
}

int HelpContextOf(const QWidget* w) {
    for (const QWidget* x = w; x; x = x->parentWidget()) {
        const QVariant v = x->property(kContextProperty);
        if (v.isValid()) return v.toInt();
        if (x->isWindow()) return HelpContextForWindow(x->objectName());
    }
    return hcContents;
}

void InstallHelpKeys() {
    static bool installed = false;
    if (installed || !qApp) return;
    installed = true;
    qApp->installEventFilter(new THelpKeyFilter(qApp));
}

const TContactLinks& ContactLinks() {
    return Links();
}

TContactLinks SetContactLinks(const TContactLinks& links) {
    TContactLinks old = Links();
    Links() = links;
    return old;
}

QUrl ContactWebUrl(const TContactLinks& links) {
    const QString s = links.webSite.trimmed();
    if (s.isEmpty()) return {};
    const QUrl u = QUrl::fromUserInput(s);
    // Only web pages: the table must not start programs or open local files.
    return (u.scheme() == "https" || u.scheme() == "http") ? u : QUrl();
}

QUrl ContactMailUrl(const TContactLinks& links) {
    const QString s = links.email.trimmed();
    if (s.isEmpty() || !s.contains('@') || s.contains(QRegularExpression("[\\s?&#]"))) return {};
    QUrl u;
    u.setScheme("mailto");
    u.setPath(s);
    return u;
}

TUrlOpener SetUrlOpener(TUrlOpener opener) {
    TUrlOpener old = Opener();
    Opener() =
        opener ? std::move(opener) : [](const QUrl& u) { return QDesktopServices::openUrl(u); };
    return old;
}

void ConnectHelpMenu(const THelpMenuActions& m, QWidget* window) {
    auto wire = [window](QAction* a, void (*fn)()) {
        if (!a) return;
        a->setEnabled(true);
        QObject::connect(a, &QAction::triggered, window, [fn] { fn(); });
    };
    wire(m.contents, ShowHelpContents);
    wire(m.search, ShowHelpSearch);
    wire(m.overview, [] { ShowHelpContext(hcFeatureOverview); });
    wire(m.howTo, ShowHelpOnHelp);
    if (m.contents) {
        m.contents->setShortcut(Qt::Key_F1);
        m.contents->setShortcutContext(Qt::WindowShortcut);
        if (window) window->addAction(m.contents); // F1 with the menu closed
    }
    const TContactLinks& links = ContactLinks();
    const QUrl web = ContactWebUrl(links);
    const QUrl mail = ContactMailUrl(links);
    if (m.webSite) {
        m.webSite->setVisible(web.isValid());
        m.webSite->setEnabled(web.isValid());
        QObject::connect(m.webSite, &QAction::triggered, window,
                         [window] { OpenUrl(ContactWebUrl(ContactLinks()), window); });
    }
    if (m.email) {
        m.email->setVisible(mail.isValid());
        m.email->setEnabled(mail.isValid());
        QObject::connect(m.email, &QAction::triggered, window,
                         [window] { OpenUrl(ContactMailUrl(ContactLinks()), window); });
    }
    if (m.contactMenu) {
        m.contactMenu->setVisible(web.isValid() || mail.isValid());
        m.contactMenu->setEnabled(web.isValid() || mail.isValid());
    }
}

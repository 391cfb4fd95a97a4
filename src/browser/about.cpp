#include "browser/about.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "browser/appicon.h"
#include "browser/help.h"
#include "browser/toolwindows.h"
#include "core/colour.h"
#include "formats/libversions.h"

#ifndef TAV_VERSION
#define TAV_VERSION "7.8"
#endif

namespace {

QString Line(const QString& name, const QString& running, const QString& built) {
    QString s = name + ' ' + (running.isEmpty() ? QString("(version unknown)") : running);
    if (!built.isEmpty() && built != running) s += " (built with " + built + ')';
    return s;
}

QString Line(const TLibraryVersion& v) {
    return Line(QString::fromStdString(v.name), QString::fromStdString(v.running),
                QString::fromStdString(v.built));
}

QLabel* PlainLabel(const QString& text, const char* name, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    // Library texts come from files on disk: never rich text.
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

QString TavirloVersion() {
    return QStringLiteral(TAV_VERSION);
}

QString QtVersionLine() {
    return Line("Qt", QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
}

QString JpegVersionLine() {
    return Line(JpegLibraryVersion());
}

QString PngVersionLine() {
    return Line(PngLibraryVersion());
}

TfAbout::TfAbout(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Tavirlo");
    setModal(true);
    SetHelpContext(this, hcContents);

    auto* top = new QVBoxLayout(this);
    auto* head = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setObjectName("Icon");
    icon->setTextFormat(Qt::PlainText);
    icon->setPixmap(QPixmap::fromImage(DrawTavirloIcon(64)));
    icon->setAlignment(Qt::AlignTop);
    head->addWidget(icon);
    auto* names = new QVBoxLayout;
    ProgramName = PlainLabel("Tavirlo", "ProgramName", this);
    QFont big = ProgramName->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    ProgramName->setFont(big);
    Version = PlainLabel("Version " + TavirloVersion(), "Version", this);
    Maker = PlainLabel("by Ambertide Software", "Maker", this);
    names->addWidget(ProgramName);
    names->addWidget(Version);
    names->addWidget(Maker);
    names->addStretch(1);
    head->addLayout(names, 1);
    top->addLayout(head);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    top->addWidget(rule);

    top->addWidget(PlainLabel("Running with:", "RunningWith", this));
    QtVersion = PlainLabel(QtVersionLine(), "QtVersion", this);
    JpegVersion = PlainLabel(JpegVersionLine(), "JpegVersion", this);
    PngVersion = PlainLabel(PngVersionLine(), "PngVersion", this);
    for (QLabel* l : {QtVersion, JpegVersion, PngVersion}) {
        l->setIndent(12);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        top->addWidget(l);
    }
    // What colour managed pictures are shown for.
    DisplayProfile = PlainLabel(
        "Display profile: " + QString::fromStdString(PGDisplayProfileDescription()) +
            (ColourManagement ? QString() : QString(" (colour management off)")),
        "DisplayProfile", this);
    DisplayProfile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    top->addWidget(DisplayProfile);

    Licences =
        PlainLabel("Qt is used under the GNU Lesser General Public License version 3. "
                   "libjpeg-turbo is used under the IJG License and the Modified (3-clause) BSD "
                   "License; this software is based in part on the work of the Independent JPEG "
                   "Group. libpng is used under the PNG Reference Library License version 2, "
                   "zlib under the zlib License, and Little CMS under the MIT License. The full "
                   "texts come with each library's package (see /usr/share/doc).",
                   "Licences", this);
    Licences->setWordWrap(true);
    QFont small = Licences->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    Licences->setFont(small);
    Licences->setFixedWidth(380);
    top->addSpacing(6);
    top->addWidget(Licences);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OKButton");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    top->addWidget(buttons);

    top->setSizeConstraint(QLayout::SetFixedSize); // fixed size, as laid out
}

void RegisterHelpWindows() {
    TToolWindows::RegisterFactory("TfAbout", [] { return new TfAbout; });
}

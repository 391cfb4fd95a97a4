#include "browser/prefs.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "browser/associations.h"
#include "browser/form1.h"
#include "browser/mainform.h"
#include "browser/toolwindows.h"
#include "platform/dialogbuttons.h"
#include "core/colour.h"
#include "platform/displayprofile.h"
#include "platform/prompts.h"
#include "platform/settings.h"
#include "platform/waitcursor.h"

TfPrefs::TfPrefs(QWidget* parent) : QDialog(parent) {
    setObjectName("TfPrefs");
    setWindowTitle("Preferences");
    auto* top = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    top->addWidget(PageControl1);

    auto* editors = new QWidget;
    auto* grid = new QGridLayout(editors);
    for (int i = 0; i < kFileTypeCount; ++i) {
        Check[i] = new QCheckBox(Types[i], editors);
        Check[i]->setObjectName(Types[i]);
        Edit[i] = new QLineEdit(editors);
        Edit[i]->setObjectName(QString("Edit%1").arg(i + 1));
        Edit[i]->setMinimumWidth(260);
        Locate[i] = new QPushButton("Locate", editors);
        Locate[i]->setObjectName(QString("L%1").arg(i + 1));
        grid->addWidget(Check[i], i, 0);
        grid->addWidget(Edit[i], i, 1);
        grid->addWidget(Locate[i], i, 2);
        QLineEdit* edit = Edit[i];
        connect(Locate[i], &QPushButton::clicked, this, [this, edit] {
            // Any file may be the editor: no filter, no title.
            const QString f = Prompts().OpenFileName(this, TFileDialogRequest{}, nullptr);
            if (!f.isEmpty()) edit->setText(f);
        });
    }
    PageControl1->addTab(editors, "Editors");

    auto* deletions = new QWidget;
    auto* dl = new QVBoxLayout(deletions);
    DeletionType = new QGroupBox("Deleting a file will", deletions);
    DeletionType->setObjectName("DeletionType");
    auto* gl = new QVBoxLayout(DeletionType);
    RecycleItem = new QRadioButton("Move it to the Trash", DeletionType);
    PermanentItem = new QRadioButton("Permanently delete it from your disk (can not be restored)",
                                     DeletionType);
    gl->addWidget(RecycleItem);
    gl->addWidget(PermanentItem);
    cbConfirmDeletions = new QCheckBox("Confirm Before Deleting Files", deletions);
    cbConfirmDeletions->setObjectName("cbConfirmDeletions");
    dl->addWidget(DeletionType);
    dl->addWidget(cbConfirmDeletions);
    dl->addStretch();
    PageControl1->addTab(deletions, "Deletions");

    auto* colour = new QWidget;
    auto* cl = new QVBoxLayout(colour);
    cbColourManagement = new QCheckBox("Colour management", colour);
    cbColourManagement->setObjectName("cbColourManagement");
    DisplayProfileLabel = new QLabel(colour);
    DisplayProfileLabel->setObjectName("DisplayProfileLabel");
    cl->addWidget(cbColourManagement);
    cl->addWidget(DisplayProfileLabel);
    cl->addStretch();
    PageControl1->addTab(colour, "Colour");

    Associate = new QPushButton("Associate", this);
    Associate->setObjectName("Associate");
    QHBoxLayout* buttons = OkCancelRow(this, OKBtn, CancelBtn);
    buttons->insertWidget(0, Associate);
    top->addLayout(buttons);
    // OK stores the settings before the dialog closes.
    disconnect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int page) { Associate->setVisible(page == 0); });
    connect(Associate, &QPushButton::clicked, this, &TfPrefs::AssociateChecked);
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        WriteValues();
        accept();
    });
}

void TfPrefs::showEvent(QShowEvent* e) {
    ReadValues();
    QDialog::showEvent(e);
}

void TfPrefs::ReadValues() {
    const QString types = ReadSetting("FileTypes", QString(kFileTypeCount, '1'));
    for (int i = 0; i < kFileTypeCount; ++i) {
        Check[i]->setChecked(FileTypeChecked(types, i));
        Edit[i]->setText(ReadSetting(QString(Types[i]) + " Editor", ""));
    }
    (ReadSetting("Deletions", "0") == "1" ? PermanentItem : RecycleItem)->setChecked(true);
    cbConfirmDeletions->setChecked(ReadSetting("Confirm Deletions", "1") == "1");
    cbColourManagement->setChecked(ReadSetting("Colour Management", "1") != "0");
    DisplayProfileLabel->setText("Display profile: " +
                                 QString::fromStdString(PGDisplayProfileDescription()));
    Associate->setVisible(PageControl1->currentIndex() == 0);
}

void TfPrefs::WriteValues() {
    QString types;
    for (QCheckBox* c : Check)
        types += c->isChecked() ? '1' : '0';
    WriteSetting("FileTypes", types);
    for (int i = 0; i < kFileTypeCount; ++i)
        WriteSetting(QString(Types[i]) + " Editor", Edit[i]->text());
    const int mode = PermanentItem->isChecked() ? 1 : 0;
    WriteSetting("Deletions", QString::number(mode));
    WriteSetting("Confirm Deletions", cbConfirmDeletions->isChecked() ? "1" : "0");
    const bool managed = cbColourManagement->isChecked();
    WriteSetting("Colour Management", managed ? "1" : "0");
    if (managed != ColourManagement.load()) {
        ColourManagement = managed;
        emit TColourNotifier::Instance().ColourChanged();
    }
    if (TForm1* f = Form1()) {
        f->DeletionMode = mode;
        f->ConfirmDeletions = cbConfirmDeletions->isChecked();
    }
}

void LoadColourManagementSetting() {
    ColourManagement = ReadSetting("Colour Management", "1") != "0";
}

void TfPrefs::AssociateChecked() {
    if (MessageDlg("Would you like to associate the selected file types with Tavirlo?",
                   QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                   this) != QMessageBox::Yes)
        return;
    TWaitCursor wait;
    try {
        for (int i = 0; i < kFileTypeCount; ++i)
            if (Check[i]->isChecked())
                AssociateFileType(Types[i], QCoreApplication::applicationFilePath());
    } catch (const ERegistryError& e) {
        wait.Restore();
        MessageDlg(QString::fromStdString(e.Message()), QMessageBox::Critical, QMessageBox::Ok,
                   this);
        return;
    }
}

void RegisterPrefsWindow() {
    TToolWindows::RegisterFactory("TfPrefs", [] { return new TfPrefs; });
}

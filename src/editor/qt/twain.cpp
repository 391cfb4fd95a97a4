#include "editor/qt/twain.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QPointer>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <sane/sane.h>
#include <thread>

#include "core/options.h"
#include "editor/sanescan.h"
#include "platform/prompts.h"
#include "platform/settings.h"

namespace {

const char* const kErrors[14] = {"[no details available]",
                                 "",
                                 "DAT_CAPABILITY/MSG_GET failed",
                                 "DAT_CAPABILITY/MSG_SET failed",
                                 "Source Manager operation failed",
                                 "DataSource operation failed",
                                 "",
                                 "TWAIN session not in State 4 (Source Open)",
                                 "MSG_GET returned a NULL container handle",
                                 "MSG_GET returned an invalid container handle",
                                 "Returned container is not valid type",
                                 "Returned container has invalid ItemType",
                                 "Returned container is empty",
                                 "App and source found NO values in common"};
const char* const kRC[8] = {"TWRC_SUCCESS",  "TWRC_FAILURE",  "TWRC_CHECKSTATUS ('tried hard')",
                            "TWRC_CANCEL",   "TWRC_DSEVENT",  "TWRC_NOTDSEVENT",
                            "TWRC_XFERDONE", "TWRC_ENDOFLIST"};
const char* const kCC[13] = {"TWCC_SUCCESS",
                             "TWCC_BUMMER (Failure due to unknown causes)",
                             "TWCC_LOWMEMORY",
                             "TWCC_NODS (No Data Source)",
                             "TWCC_MAXCONNECTIONS (DS is connected to max possible apps)",
                             "TWCC_OPERATIONERROR (DS or DSM reported error, app shouldn't)",
                             "TWCC_BADCAP (Unknown capability)",
                             "7 (undefined)",
                             "8 (undefined)",
                             "TWCC_BADPROTOCOL (Unrecognized triplet)",
                             "TWCC_BADVALUE (Data parameter out of range)",
                             "TWCC_SEQERROR (Triplet out of sequence)",
                             "TWCC_BADDEST (Unknown dest. App/Src in DSM_Entry)"};

// The condition code of a SANE status.
int CCOf(int status) {
    switch (status) {
    case SANE_STATUS_NO_MEM:
        return TWCC_LOWMEMORY;
    case SANE_STATUS_DEVICE_BUSY:
    case SANE_STATUS_JAMMED:
    case SANE_STATUS_NO_DOCS:
    case SANE_STATUS_COVER_OPEN:
    case SANE_STATUS_IO_ERROR:
        return TWCC_OPERATIONERROR;
    case SANE_STATUS_INVAL:
        return TWCC_BADVALUE;
    case SANE_STATUS_UNSUPPORTED:
        return TWCC_BADPROTOCOL;
    default:
        return TWCC_BUMMER;
    }
}

// What the source's dialog offers, in the order it sets them: the mode and
// the source change what else is offered.
const char* const kShown[] = {"mode", "source", "depth", "resolution",
                              "tl-x", "tl-y", "br-x", "br-y"};

} // namespace

// The source's own dialog: the device's scan settings as its option
// descriptors describe them (lists as combo boxes, ranges as spin boxes),
// "Scan" and "Cancel", the progress of a transfer and the source's status
// (a jam is shown here, the dialog stays open). Modeless: the client's loop
// runs while it is shown; its buttons queue the source's messages.
class TScanDialog : public QDialog {
  public:
    TScanDialog(QWidget* parent, TSaneApi& sane, std::vector<int>& queue,
                std::atomic<bool>& cancel)
        : QDialog(parent), sane_(sane), queue_(queue), cancel_(cancel) {
        setObjectName("ScanDialog");
        setWindowTitle(QString::fromStdString(sane.Device()));
        setWindowModality(Qt::ApplicationModal);
        setAttribute(Qt::WA_DeleteOnClose, false);
        auto* v = new QVBoxLayout(this);
        status_ = new QLabel(this);
        status_->setObjectName("Status");
        status_->setWordWrap(true);
        status_->setTextFormat(Qt::PlainText);
        progress_ = new QProgressBar(this);
        progress_->setObjectName("Progress");
        progress_->setVisible(false);
        auto* row = new QHBoxLayout;
        scan_ = new QPushButton("Scan", this);
        scan_->setObjectName("ScanBtn");
        scan_->setDefault(true);
        auto* close = new QPushButton("Cancel", this);
        close->setObjectName("CancelBtn");
        row->addStretch();
        row->addWidget(scan_);
        row->addWidget(close);
        v->addWidget(status_);
        v->addWidget(progress_);
        v->addLayout(row);
        connect(scan_, &QPushButton::clicked, this, [this] { ScanClicked(); });
        connect(close, &QPushButton::clicked, this, &QDialog::reject);
        Rebuild();
    }

    // The options shown, read afresh from the device.
    void Rebuild() {
        delete box_;
        box_ = new QWidget(this);
        auto* form = new QFormLayout(box_);
        form->setContentsMargins(0, 0, 0, 0);
        widgets_.clear();
        shape_.clear();
        for (const TSaneOption& o : Shown()) {
            shape_ += Shape(o);
            QString label = QString::fromStdString(o.title);
            if (!o.unit.empty()) label += " (" + QString::fromStdString(o.unit) + ")";
            QWidget* w = nullptr;
            const std::string name = o.name;
            if (o.constraint == TSaneOption::cList) {
                auto* c = new QComboBox(box_);
                for (const std::string& item : o.list)
                    c->addItem(QString::fromStdString(item));
                c->setCurrentText(QString::fromStdString(o.value));
                connect(c, &QComboBox::activated, this,
                        [this, name, c] { Change(name, c->currentText().toStdString()); });
                w = c;
            } else if (o.type == SANE_TYPE_FIXED) {
                auto* d = new QDoubleSpinBox(box_);
                // Whole steps show whole numbers.
                d->setDecimals(o.quant >= 1 && std::floor(o.quant) == o.quant ? 0 : 2);
                if (o.constraint == TSaneOption::cRange) {
                    d->setRange(o.min, o.max);
                    d->setSingleStep(o.quant > 0 ? o.quant : 1.0);
                } else {
                    d->setRange(-32767, 32767);
                }
                d->setValue(std::atof(o.value.c_str()));
                connect(d, &QDoubleSpinBox::editingFinished, this,
                        [this, name, d] { Change(name, ValueOf(d)); });
                w = d;
            } else {
                auto* i = new QSpinBox(box_);
                if (o.constraint == TSaneOption::cRange) {
                    i->setRange(int(o.min), int(o.max));
                    i->setSingleStep(o.quant > 0 ? int(o.quant) : 1);
                } else {
                    i->setRange(INT32_MIN, INT32_MAX);
                }
                i->setValue(std::atoi(o.value.c_str()));
                connect(i, &QSpinBox::editingFinished, this,
                        [this, name, i] { Change(name, ValueOf(i)); });
                w = i;
            }
            w->setObjectName(QString::fromStdString(name));
            form->addRow(label, w);
            widgets_.emplace_back(name, w);
        }
        static_cast<QVBoxLayout*>(layout())->insertWidget(0, box_);
    }

    // During a transfer only Cancel works (it stops the transfer).
    void SetBusy(bool busy) {
        busy_ = busy;
        if (box_) box_->setEnabled(!busy);
        scan_->setEnabled(!busy);
        progress_->setVisible(busy);
        progress_->setRange(0, 0);
    }
    void SetProgress(int64_t received, int64_t expected) {
        if (expected > 0) {
            progress_->setRange(0, 1000);
            progress_->setValue(int(std::min<int64_t>(1000, received * 1000 / expected)));
        }
    }
    void ShowStatus(const QString& text) { status_->setText(text); }

  protected:
    void reject() override {
        if (busy_) {
            cancel_ = true; // the transfer stops after the current read
            return;
        }
        if (std::find(queue_.begin(), queue_.end(), int(MSG_CLOSEDSREQ)) == queue_.end())
            queue_.push_back(MSG_CLOSEDSREQ);
        hide();
    }
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        reject();
    }

  private:
    std::vector<TSaneOption> Shown() {
        std::vector<TSaneOption> all = sane_.Describe(), out;
        for (const char* n : kShown)
            for (const TSaneOption& o : all)
                if (o.name == n && o.active && o.settable &&
                    (o.type == SANE_TYPE_INT || o.type == SANE_TYPE_FIXED ||
                     (o.type == SANE_TYPE_STRING && o.constraint == TSaneOption::cList)))
                    out.push_back(o);
        return out;
    }
    static std::string Shape(const TSaneOption& o) {
        std::string s = o.name + '|' + std::to_string(o.constraint) + '|' +
                        std::to_string(o.min) + '|' + std::to_string(o.max) + '|';
        for (const std::string& i : o.list)
            s += i + ',';
        return s + ';';
    }
    static std::string ValueOf(QWidget* w) {
        if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
        if (auto* d = qobject_cast<QDoubleSpinBox*>(w)) return std::to_string(d->value());
        if (auto* i = qobject_cast<QSpinBox*>(w)) return std::to_string(i->value());
        return {};
    }
    // One value set on the device; what it changed is shown again (the
    // whole form when other options come or go).
    void Change(const std::string& name, const std::string& value) {
        if (busy_) return;
        std::string error;
        if (!sane_.SetOption(name, value, error)) ShowStatus(QString::fromStdString(error));
        Refresh();
    }
    void Refresh() {
        const std::vector<TSaneOption> now = Shown();
        std::string shape;
        for (const TSaneOption& o : now)
            shape += Shape(o);
        if (shape != shape_) {
            // Not from inside the signal of a widget that goes away.
            QTimer::singleShot(0, this, [this] { Rebuild(); });
            return;
        }
        for (const TSaneOption& o : now)
            for (auto& [n, w] : widgets_)
                if (n == o.name) {
                    const QSignalBlocker block(w);
                    if (auto* c = qobject_cast<QComboBox*>(w))
                        c->setCurrentText(QString::fromStdString(o.value));
                    else if (auto* d = qobject_cast<QDoubleSpinBox*>(w))
                        d->setValue(std::atof(o.value.c_str()));
                    else if (auto* i = qobject_cast<QSpinBox*>(w))
                        i->setValue(std::atoi(o.value.c_str()));
                }
    }
    void ScanClicked() {
        if (busy_) return;
        // Values typed but not yet confirmed count too.
        std::string error;
        const std::vector<TSaneOption> now = Shown();
        for (auto& [n, w] : widgets_) {
            const std::string v = ValueOf(w);
            for (const TSaneOption& o : now)
                if (o.name == n && !SameValue(o, v) && !sane_.SetOption(n, v, error)) {
                    ShowStatus(QString::fromStdString(error));
                    Refresh();
                    return;
                }
        }
        // The values of this scan are the device's next defaults.
        const QString key = "Scan " + windowTitle() + " ";
        for (const TSaneOption& o : Shown())
            WriteSetting(key + QString::fromStdString(o.name), QString::fromStdString(o.value));
        ShowStatus(QString());
        queue_.push_back(MSG_XFERREADY);
    }
    static bool SameValue(const TSaneOption& o, const std::string& v) {
        if (o.type == SANE_TYPE_STRING) return o.value == v;
        return std::fabs(std::atof(o.value.c_str()) - std::atof(v.c_str())) < 0.005;
    }

    TSaneApi& sane_;
    std::vector<int>& queue_;
    std::atomic<bool>& cancel_;
    QPointer<QWidget> box_;
    QLabel* status_;
    QProgressBar* progress_;
    QPushButton* scan_;
    bool busy_ = false;
    std::string shape_;
    std::vector<std::pair<std::string, QWidget*>> widgets_;
};

namespace {

// The remembered values of a device, then the given ones, set on the open
// device (failures are the device's to refuse: its own value stays).
void ApplyStartValues(TSaneApi& sane, const std::map<std::string, std::string>& given) {
    std::string error;
    const QString key = "Scan " + QString::fromStdString(sane.Device()) + " ";
    for (const char* n : kShown) {
        const QString v = ReadSetting(key + n, "");
        if (!v.isEmpty()) sane.SetOption(n, v.toStdString(), error);
    }
    sane.SetOptions(given, error);
}

} // namespace

QString TwainErrorText(int code) {
    return code >= 0 && code < 14 && *kErrors[code] ? kErrors[code]
                                                    : QString::number(code) + " (undefined)";
}
QString TwainRCName(int rc) {
    return rc >= 0 && rc < 8 ? kRC[rc] : QString::number(rc) + " (undefined)";
}
QString TwainCCName(int cc) {
    return cc >= 0 && cc < 13 ? kCC[cc] : QString::number(cc) + " (undefined)";
}

TTwain::TTwain() = default;
TTwain::~TTwain() = default;

TTwain& TTwain::Instance() {
    static TTwain t;
    return t;
}

void TTwain::SetLibrary(const std::string& name) {
    library_ = name;
    present_ = -1;
}

bool TTwain::Load() {
    if (state_ >= 2) return true;
    sane_ = std::make_unique<TSaneApi>(library_);
    if (!sane_->Load()) {
        sane_.reset();
        present_ = 0;
        return false;
    }
    present_ = 1;
    state_ = 2;
    return true;
}

void TTwain::Unload() {
    sane_.reset();
    state_ = 1;
}

bool TTwain::TwainIsPresent() {
    if (present_ < 0) {
        // The probe only loads (no sane_init: network backends can take seconds).
        const bool loaded = Load();
        if (loaded) Unload();
    }
    return present_ == 1;
}

void TTwain::TwainSetIdentity(int, int, int, int, const QString&, const QString&, const QString&,
                              const QString& product) {
    ProductName = product;
}

void TTwain::Fail(int code, int rc) {
    if (errorCode_ != 0) return; // the first error of an operation is kept
    errorCode_ = code;
    errorRC_ = rc;
    // The condition code, from the status call right after the failure.
    errorCC_ = Dsm(DG_CONTROL, DAT_STATUS, MSG_GET) == TWRC_SUCCESS ? status_ : TWCC_BUMMER;
}

void TTwain::Box(const QString& text, QWidget* window) {
    Prompts().MessageBox(window, text, "TWAIN Error", QMessageBox::Ok, QMessageBox::Warning);
}

// The source manager and the source, built on SANE: the manager is one
// sane_init..sane_exit, the source one sane_open..sane_close of the device.
int TTwain::Dsm(int dg, int dat, int msg, QWidget* window) {
    int rc = TWRC_SUCCESS;
    const int previousCC = cc_;
    cc_ = TWCC_SUCCESS;
    std::string error;
    if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_OPENDSM) {
        if (!sane_->Init(error)) {
            rc = TWRC_FAILURE;
            cc_ = TWCC_BUMMER;
        }
    } else if (dg == DG_CONTROL && dat == DAT_PARENT && msg == MSG_CLOSEDSM) {
        sane_->Exit();
    } else if (dg == DG_CONTROL && dat == DAT_STATUS && msg == MSG_GET) {
        status_ = previousCC;
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_USERSELECT) {
        std::vector<TSaneDevice> devices;
        sane_->ListDevices(devices, error);
        if (devices.empty()) {
            ShowMessage("No scanner was found", window);
            rc = TWRC_FAILURE;
            cc_ = TWCC_NODS;
        } else {
            const QString current = ReadSetting("ScanSource", "");
            QStringList items;
            int at = 0;
            for (const TSaneDevice& dev : devices) {
                if (QString::fromStdString(dev.name) == current) at = int(items.size());
                items << QString::fromStdString(dev.vendor + " " + dev.model + " (" + dev.name +
                                                ")");
            }
            const int chosen = Prompts().ChooseItem(window, "Select Source", items, at);
            if (chosen >= 0 && size_t(chosen) < devices.size()) {
                WriteSetting("ScanSource", QString::fromStdString(devices[size_t(chosen)].name));
            } else {
                rc = TWRC_CANCEL;
            }
        }
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS) {
        // The chosen source, else $SANE_DEFAULT_DEVICE, else the first device.
        std::string device = ReadSetting("ScanSource", "").toStdString();
        std::vector<TSaneDevice> devices;
        sane_->ListDevices(devices, error);
        bool known = false;
        for (const TSaneDevice& d : devices)
            known = known || d.name == device;
        if (!known) {
            const char* env = std::getenv("SANE_DEFAULT_DEVICE");
            device = env && *env ? env : devices.empty() ? "" : devices.front().name;
        }
        if (device.empty()) {
            rc = TWRC_FAILURE;
            cc_ = TWCC_NODS;
        } else if (!sane_->Open(device, error)) {
            rc = TWRC_FAILURE;
            cc_ = CCOf(sane_->LastStatus());
        }
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
        sane_->Close();
    } else if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) {
        queued_.clear();
        if (HideUI) {
            // No dialog: the given options, then the transfer at once.
            if (sane_->SetOptions(Options, error)) {
                queued_.push_back(MSG_XFERREADY);
            } else {
                rc = TWRC_FAILURE;
                cc_ = CCOf(sane_->LastStatus());
            }
        } else {
            ApplyStartValues(*sane_, Options);
            ui_ = new TScanDialog(window, *sane_, queued_, cancel_);
            ui_->show();
            ui_->raise();
            ui_->activateWindow();
        }
    } else if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
        delete ui_.data();
        queued_.clear();
    } else if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        // A dialog gone with its window asks to be closed.
        if (!HideUI && !ui_ && queued_.empty()) queued_.push_back(MSG_CLOSEDSREQ);
        rc = queued_.empty() ? TWRC_NOTDSEVENT : TWRC_DSEVENT;
    } else if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        rc = Transfer(window, error);
    } else if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS && msg == MSG_ENDXFER) {
        // A feeder may hold more pages: their number is not known.
        pending_ = sane_->Feeder() ? -1 : 0;
        sane_->EndScan();
    } else if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS && msg == MSG_RESET) {
        pending_ = 0;
        sane_->EndScan();
    } else {
        rc = TWRC_FAILURE;
        cc_ = TWCC_BADPROTOCOL;
    }
    if (Trace)
        Trace(QString("%1 %2 0x%3 -> %4").arg(dg).arg(dat).arg(msg, 0, 16).arg(TwainRCName(rc)));
    return rc;
}

// The native transfer on a worker; the source's dialog shows its progress
// and its Cancel stops it after the current read. A failure is shown in
// the dialog, which stays open.
int TTwain::Transfer(QWidget* window, std::string& error) {
    cancel_ = false;
    std::atomic<bool> done{false};
    std::atomic<int64_t> received{0}, expected{-1};
    bool scanned = false;
    const bool withUI = !HideUI && ui_;
    if (withUI) {
        ui_->SetBusy(true);
        ui_->ShowStatus("Scanning...");
    } else if (window) {
        window->setEnabled(false);
    }
    dib_.clear();
    std::thread worker([&] {
        scanned = sane_->Acquire(PGMaxImageBytes, dib_, error, &cancel_, &received, &expected);
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (withUI && !ui_) cancel_ = true; // the dialog went with its window
        if (ui_) ui_->SetProgress(received, expected);
        if (!done) QThread::msleep(5);
    }
    worker.join();
    if (ui_) ui_->SetBusy(false);
    if (window && !withUI) window->setEnabled(true);
    int rc;
    if (scanned) {
        rc = TWRC_XFERDONE;
        if (ui_) ui_->ShowStatus(QString());
    } else {
        dib_.clear();
        const int st = sane_->LastStatus();
        rc = st == SANE_STATUS_CANCELLED ? TWRC_CANCEL : TWRC_FAILURE;
        if (rc == TWRC_FAILURE) cc_ = CCOf(st);
        if (ui_)
            ui_->ShowStatus(rc == TWRC_CANCEL ? QString("Scan cancelled")
                                              : QString::fromStdString(error));
        // Without a dialog nobody could close the source: it asks to be closed.
        if (HideUI) queued_.push_back(MSG_CLOSEDSREQ);
    }
    LastError = rc == TWRC_FAILURE ? QString::fromStdString(error) : QString();
    return rc;
}

void TTwain::CloseDown() {
    // Always in this order, whatever state the acquisition reached.
    if (state_ >= 5) {
        Dsm(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
        state_ = 4;
    }
    if (state_ == 4) {
        Dsm(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS);
        state_ = 3;
    }
    if (state_ == 3) {
        Dsm(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM);
        state_ = 2;
    }
    if (state_ == 2) Unload();
}

std::vector<uint8_t> TTwain::TwainAcquireDib(QWidget* window, int) {
    if (busy_) return {}; // one acquisition at a time
    busy_ = true;
    errorCode_ = errorRC_ = errorCC_ = 0;
    LastError.clear();
    dib_.clear();
    std::vector<uint8_t> result;
    QString message;
    if (!Load()) {
        message = "Unable to load Source Manager (TWAIN_32.DLL)";
    } else if (Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, window) != TWRC_SUCCESS) {
        message = "Unable to open Source Manager (TWAIN_32.DLL)";
    } else {
        state_ = 3;
        if (const int rc = Dsm(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, window); rc != TWRC_SUCCESS) {
            Fail(4, rc);
            message = "Unable to open default Data Source.";
        } else {
            state_ = 4;
            // Pixel types: the editor accepts whatever the source sends.
            if (const int rc2 = Dsm(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, window);
                rc2 == TWRC_FAILURE) {
                Fail(5, rc2);
                message = "Failed to enable Data Source.";
            } else {
                state_ = 5;
                // The loop while the source is enabled: its messages decide.
                // The timer wakes the wait so the source is asked regularly.
                QTimer wake;
                wake.start(20);
                while (state_ > 4 && result.empty()) {
                    if (Dsm(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, window) != TWRC_DSEVENT) {
                        QCoreApplication::processEvents(QEventLoop::AllEvents |
                                                        QEventLoop::WaitForMoreEvents);
                        continue;
                    }
                    const int m = queued_.front();
                    queued_.erase(queued_.begin());
                    if (m == MSG_CLOSEDSREQ) {
                        Dsm(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
                        state_ = 4;
                    } else if (m == MSG_XFERREADY) {
                        state_ = 6;
                        const int x = Dsm(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, window);
                        if (x == TWRC_XFERDONE) {
                            state_ = 7;
                            result = std::move(dib_);
                        } else if (x == TWRC_CANCEL) {
                            state_ = 7;
                        }
                        if (state_ == 7) {
                            Dsm(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER);
                            state_ = pending_ != 0 ? 6 : 5;
                        }
                        // One picture per acquisition: the rest are dropped.
                        if (state_ == 6) {
                            Dsm(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET);
                            state_ = 5;
                        }
                    }
                }
            }
        }
    }
    CloseDown();
    busy_ = false;
    if (!message.isEmpty()) {
        const QString text = errorCode_ >= 2 && errorCode_ <= 5
                                 ? QString("%1\n%2\nRC:   %3\nCC:   %4")
                                       .arg(message, TwainErrorText(errorCode_),
                                            TwainRCName(errorRC_), TwainCCName(errorCC_))
                                 : errorCode_ != 0
                                     ? QString("%1\n%2").arg(message, TwainErrorText(errorCode_))
                                     : message;
        Box(text, window);
    }
    return result;
}

bool TTwain::TWAIN_SelectImageSource(QWidget* window) {
    if (busy_) return false;
    if (!Load()) {
        Box("Unable to load Source Manager (TWAIN_32.DLL)", window);
        return false;
    }
    if (Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, window) != TWRC_SUCCESS) {
        Box("Unable to open Source Manager (TWAIN_32.DLL)", window);
        CloseDown();
        return false;
    }
    state_ = 3;
    const bool ok = Dsm(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, window) == TWRC_SUCCESS;
    CloseDown();
    return ok;
}

int TTwain::TwainSaveDibAsBmp(const std::vector<uint8_t>& dib, QString name, QWidget* parent) {
    if (name.isEmpty()) {
        TFileDialogRequest q;
        q.filter = "Windows Bitmap (*.bmp)";
        name = Prompts().SaveFileName(parent, q, nullptr);
        if (name.isEmpty()) return -1;
        if (QFileInfo(name).suffix().isEmpty()) name += ".bmp";
    }
    return SaveDibAsBmpFile(dib, QFile::encodeName(name).toStdString());
}

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
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>
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

// The source's own dialog: the device, its mode and resolution; "Scan" or "Cancel".
class TScanDialog : public QDialog {
  public:
    TScanDialog(QWidget* parent, const QString& device) : QDialog(parent) {
        setObjectName("ScanDialog");
        setWindowTitle(device);
        auto* form = new QFormLayout(this);
        Mode = new QComboBox(this);
        Mode->setObjectName("Mode");
        Mode->addItems({"Color", "Gray", "Lineart"});
        Resolution = new QSpinBox(this);
        Resolution->setObjectName("Resolution");
        Resolution->setRange(25, 4800);
        // The values of the last scan with this device.
        const QString key = "Scan " + device;
        Mode->setCurrentText(ReadSetting(key + " mode", "Color"));
        Resolution->setValue(ReadSetting(key + " resolution", "150").toInt());
        form->addRow("Mode", Mode);
        form->addRow("Resolution", Resolution);
        auto* row = new QHBoxLayout;
        auto* scan = new QPushButton("Scan", this);
        scan->setObjectName("ScanBtn");
        auto* cancel = new QPushButton("Cancel", this);
        cancel->setObjectName("CancelBtn");
        row->addStretch();
        row->addWidget(scan);
        row->addWidget(cancel);
        form->addRow(row);
        connect(scan, &QPushButton::clicked, this, [this, key] {
            WriteSetting(key + " mode", Mode->currentText());
            WriteSetting(key + " resolution", QString::number(Resolution->value()));
            accept();
        });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    QComboBox* Mode;
    QSpinBox* Resolution;
};

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
    errorCC_ = cc_;
}

// The source manager, built on SANE.
int TTwain::Dsm(int dg, int dat, int msg, QWidget* window) {
    int rc = TWRC_SUCCESS;
    cc_ = TWCC_SUCCESS;
    if (dg == DG_CONTROL && dat == DAT_PARENT && (msg == MSG_OPENDSM || msg == MSG_CLOSEDSM)) {
        rc = TWRC_SUCCESS;
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_USERSELECT) {
        std::vector<TSaneDevice> devices;
        std::string error;
        sane_->Devices(devices, error);
        if (devices.empty()) {
            ShowMessage("No scanner was found", window);
            rc = TWRC_FAILURE;
            cc_ = TWCC_NODS;
        } else {
            QDialog d(window);
            d.setObjectName("SelectSource");
            d.setWindowTitle("Select Source");
            auto* list = new QListWidget(&d);
            list->setObjectName("Sources");
            const QString current = ReadSetting("ScanSource", "");
            for (const TSaneDevice& dev : devices) {
                auto* item = new QListWidgetItem(
                    QString::fromStdString(dev.vendor + " " + dev.model + " (" + dev.name + ")"),
                    list);
                item->setData(Qt::UserRole, QString::fromStdString(dev.name));
                if (QString::fromStdString(dev.name) == current) list->setCurrentItem(item);
            }
            if (!list->currentItem()) list->setCurrentRow(0);
            auto* ok = new QPushButton("Select", &d);
            ok->setObjectName("OKBtn");
            auto* v = new QVBoxLayout(&d);
            v->addWidget(list);
            v->addWidget(ok);
            QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
            if (ExecDialog(&d) == QDialog::Accepted && list->currentItem()) {
                WriteSetting("ScanSource", list->currentItem()->data(Qt::UserRole).toString());
            } else {
                rc = TWRC_CANCEL;
            }
        }
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS) {
        device_ = ReadSetting("ScanSource", "").toStdString();
        std::vector<TSaneDevice> devices;
        std::string error;
        sane_->Devices(devices, error);
        bool known = false;
        for (const TSaneDevice& d : devices)
            known = known || d.name == device_;
        if (!known) {
            const char* env = std::getenv("SANE_DEFAULT_DEVICE");
            device_ = env && *env ? env : devices.empty() ? "" : devices.front().name;
        }
        if (device_.empty()) {
            rc = TWRC_FAILURE;
            cc_ = TWCC_NODS;
        }
    } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
        device_.clear();
    } else if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_ENABLEDS) {
        if (HideUI) {
            queued_.push_back(MSG_XFERREADY);
        } else {
            TScanDialog d(window, QString::fromStdString(device_));
            if (ExecDialog(&d) == QDialog::Accepted) {
                Options["mode"] = d.Mode->currentText().toStdString();
                Options["resolution"] = std::to_string(d.Resolution->value());
                queued_.push_back(MSG_XFERREADY);
            } else {
                queued_.push_back(MSG_CLOSEDSREQ);
            }
        }
    } else if (dg == DG_CONTROL && dat == DAT_USERINTERFACE && msg == MSG_DISABLEDS) {
        queued_.clear();
    } else if (dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT) {
        rc = queued_.empty() ? TWRC_NOTDSEVENT : TWRC_DSEVENT;
    } else if (dg == DG_IMAGE && dat == DAT_IMAGENATIVEXFER && msg == MSG_GET) {
        std::string error;
        // The transfer runs on a worker; the window shows its progress and
        // a Cancel that stops it after the current read.
        std::atomic<bool> cancel{false}, done{false};
        std::atomic<int64_t> received{0};
        bool scanned = false;
        std::thread worker([&] {
            scanned =
                sane_->Scan(device_, Options, PGMaxImageBytes, dib_, error, &cancel, &received);
            done = true;
        });
        {
            QProgressDialog progress("Scanning...", "Cancel", 0, 0, window);
            progress.setObjectName("ScanProgress");
            progress.setMinimumDuration(500);
            QObject::connect(&progress, &QProgressDialog::canceled, [&cancel] { cancel = true; });
            if (window) window->setEnabled(false);
            while (!done) {
                if (progress.wasCanceled()) cancel = true;
                progress.setLabelText(QString("Scanning... %1 KB").arg(received.load() / 1024));
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
                QThread::msleep(5);
            }
            if (window) window->setEnabled(true);
        }
        worker.join();
        if (scanned) {
            rc = TWRC_XFERDONE;
        } else if (sane_->LastStatus() == SANE_STATUS_CANCELLED) {
            rc = TWRC_CANCEL;
        } else {
            rc = TWRC_FAILURE;
            cc_ = sane_->LastStatus()                   ? CCOf(sane_->LastStatus())
                  : error == "The picture is too large" ? TWCC_LOWMEMORY
                                                        : TWCC_BUMMER;
            dib_.clear();
        }
    } else if (dg == DG_CONTROL && dat == DAT_PENDINGXFERS &&
               (msg == MSG_ENDXFER || msg == MSG_RESET)) {
        rc = TWRC_SUCCESS;
    } else {
        rc = TWRC_FAILURE;
        cc_ = TWCC_BADPROTOCOL;
    }
    if (Trace)
        Trace(QString("%1 %2 0x%3 -> %4").arg(dg).arg(dat).arg(msg, 0, 16).arg(TwainRCName(rc)));
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
    errorCode_ = errorRC_ = errorCC_ = 0;
    dib_.clear();
    std::vector<uint8_t> result;
    if (!Load()) {
        Fail(4, TWRC_FAILURE);
    } else if (Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, window) != TWRC_SUCCESS) {
        Fail(4, TWRC_FAILURE);
    } else {
        state_ = 3;
        if (const int rc = Dsm(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, window); rc != TWRC_SUCCESS) {
            Fail(4, rc);
        } else {
            state_ = 4;
            if (const int rc2 = Dsm(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, window);
                rc2 == TWRC_FAILURE) {
                Fail(5, rc2);
            } else {
                state_ = 5;
                // The loop while the source is enabled: its messages decide.
                while (state_ > 4 && result.empty()) {
                    if (Dsm(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, window) != TWRC_DSEVENT) break;
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
                        } else {
                            Fail(5, x);
                        }
                        if (state_ == 7) {
                            Dsm(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER);
                            state_ = 5;
                        } else {
                            Dsm(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET);
                            state_ = 5;
                        }
                        // One picture per acquisition.
                        Dsm(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS);
                        state_ = 4;
                    }
                }
            }
        }
    }
    CloseDown();
    if (errorCode_ != 0) {
        const QString text = errorCode_ >= 2 && errorCode_ <= 5
                                 ? QString("%1\n%2\nRC: %3\nCC: %4")
                                       .arg(ProductName, TwainErrorText(errorCode_),
                                            TwainRCName(errorRC_), TwainCCName(errorCC_))
                                 : QString("%1\n%2").arg(ProductName, TwainErrorText(errorCode_));
        MessageDlg(text, QMessageBox::Warning, QMessageBox::Ok, window);
    }
    return result;
}

bool TTwain::TWAIN_SelectImageSource(QWidget* window) {
    if (!Load()) {
        ShowMessage("Unable to load Source Manager (TWAIN_32.DLL)", window);
        return false;
    }
    state_ = 2;
    if (Dsm(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, window) != TWRC_SUCCESS) {
        ShowMessage("Unable to open Source Manager (TWAIN_32.DLL)", window);
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
    // The header is checked against the block: nothing past the DIB is read.
    auto u32 = [&](size_t off) {
        return uint32_t(dib[off]) | uint32_t(dib[off + 1]) << 8 | uint32_t(dib[off + 2]) << 16 |
               uint32_t(dib[off + 3]) << 24;
    };
    if (dib.size() < 40) return -3;
    const uint64_t headerSize = u32(0);
    const int64_t width = int32_t(u32(4)), height = int32_t(u32(8));
    const int bits = int(dib[14] | dib[15] << 8);
    const uint32_t compression = u32(16);
    uint64_t imageSize = u32(20);
    uint64_t colours = u32(32);
    if (colours == 0 && bits <= 8) colours = uint64_t(1) << bits;
    if (imageSize == 0) {
        if (compression != 0) return -3;
        imageSize = uint64_t(std::llabs(height)) *
                    ((uint64_t(bits) * uint64_t(std::llabs(width)) + 31) / 32 * 4);
    }
    if (headerSize < 40 || headerSize + 4 * colours + imageSize > dib.size()) return -3;
    QSaveFile f(name);
    if (!f.open(QIODevice::WriteOnly)) return -2;
    QByteArray head;
    const uint64_t offset = 14 + headerSize + 4 * colours;
    const uint64_t fileSize = offset + imageSize;
    auto put = [&](uint64_t v, int n) {
        for (int i = 0; i < n; ++i)
            head.append(char(v >> (8 * i)));
    };
    head.append("BM");
    put(fileSize, 4);
    put(0, 4);
    put(offset, 4);
    if (f.write(head) != head.size() ||
        f.write(reinterpret_cast<const char*>(dib.data()), qint64(fileSize - 14)) !=
            qint64(fileSize - 14) ||
        !f.commit())
        return -4;
    return 0;
}

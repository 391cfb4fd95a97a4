#pragma once
// The editor's scanner client: the TWAIN call order and states the program
// has always kept (1 nothing loaded ... 7 transferring), over a source
// manager built on SANE. "Select..." chooses the source (stored as the
// default), "Acquire..." runs the source's own dialog and transfers one
// picture as a packed DIB. Every call into the source manager can be traced.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QPointer>
#include <atomic>
#include <memory>

class QWidget;
class TSaneApi;
class TScanDialog;

// Return and condition codes, and the messages the source manager knows.
enum {
    TWRC_SUCCESS = 0,
    TWRC_FAILURE = 1,
    TWRC_CHECKSTATUS = 2,
    TWRC_CANCEL = 3,
    TWRC_DSEVENT = 4,
    TWRC_NOTDSEVENT = 5,
    TWRC_XFERDONE = 6,
    TWRC_ENDOFLIST = 7
};
enum {
    TWCC_SUCCESS = 0,
    TWCC_BUMMER = 1,
    TWCC_LOWMEMORY = 2,
    TWCC_NODS = 3,
    TWCC_OPERATIONERROR = 5,
    TWCC_BADPROTOCOL = 9,
    TWCC_BADVALUE = 10,
    TWCC_SEQERROR = 11
};
enum {
    MSG_GET = 1,
    MSG_XFERREADY = 0x101,
    MSG_CLOSEDSREQ = 0x102,
    MSG_OPENDSM = 0x301,
    MSG_CLOSEDSM = 0x302,
    MSG_OPENDS = 0x401,
    MSG_CLOSEDS = 0x402,
    MSG_USERSELECT = 0x403,
    MSG_DISABLEDS = 0x501,
    MSG_ENABLEDS = 0x502,
    MSG_PROCESSEVENT = 0x601,
    MSG_ENDXFER = 0x701,
    MSG_RESET = 7
};
enum { DG_CONTROL = 1, DG_IMAGE = 2 };
enum {
    DAT_EVENT = 2,
    DAT_IDENTITY = 3,
    DAT_PARENT = 4,
    DAT_PENDINGXFERS = 5,
    DAT_STATUS = 8,
    DAT_USERINTERFACE = 9,
    DAT_IMAGENATIVEXFER = 0x104
};

// The texts of the error boxes.
QString TwainErrorText(int code);
QString TwainRCName(int rc); // "N (undefined)" past the table
QString TwainCCName(int cc);

class TTwain {
  public:
    TTwain();
    ~TTwain();
    static TTwain& Instance();

    // The SANE library to load ("libsane.so.1"); tests change it.
    void SetLibrary(const std::string& name);
    int State() const { return state_; }

    // The operations of the layer.
    bool TwainIsPresent();
    void TwainSetIdentity(int major, int minor, int language, int country, const QString& version,
                          const QString& manufacturer, const QString& family,
                          const QString& product);
    bool TWAIN_SelectImageSource(QWidget* window);
    // The transferred DIB, empty when none (cancelled or failed; failures
    // are shown in a "TWAIN Error" box).
    std::vector<uint8_t> TwainAcquireDib(QWidget* window, int pixelTypes);
    // 0 written, -1 cancelled, -2 cannot create, -3 not a DIB, -4 write failed.
    int TwainSaveDibAsBmp(const std::vector<uint8_t>& dib, QString fileName, QWidget* parent);

    // The hide-UI flag (never set by the editor; tavtool and tests set it)
    // and the options the source starts from (a hidden one scans with them;
    // a shown one applies them after the values remembered for the device).
    bool HideUI = false;
    std::map<std::string, std::string> Options;
    // Each source-manager call: "DG DAT MSG -> rc".
    std::function<void(const QString&)> Trace;
    QString ProductName = "<?>";
    // What the source said of the last failed transfer.
    QString LastError;

  private:
    int Dsm(int dg, int dat, int msg, QWidget* window = nullptr);
    bool Load();
    void Unload();
    void CloseDown();
    void Fail(int code, int rc);
    void Box(const QString& text, QWidget* window);
    int Transfer(QWidget* window, std::string& error);

    std::unique_ptr<TSaneApi> sane_;
    std::string library_ = "libsane.so.1";
    int state_ = 1;
    int present_ = -1; // unknown
    int cc_ = 0;
    int errorCode_ = 0, errorRC_ = 0, errorCC_ = 0;
    int status_ = 0;  // what the status call answers
    int pending_ = 0; // pictures the source still holds (-1 unknown)
    bool busy_ = false;
    std::atomic<bool> cancel_{false};
    QPointer<TScanDialog> ui_;
    std::vector<uint8_t> dib_;
    std::vector<int> queued_;
};

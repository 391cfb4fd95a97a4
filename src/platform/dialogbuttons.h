#pragma once
// The OK and Cancel buttons at the bottom right of the program's small
// dialogs: OK is the default button and accepts, Cancel rejects.

class QDialog;
class QHBoxLayout;
class QPushButton;

// A row holding them, to be added to the dialog's layout. The object names
// are what tests and the scripted prompts find them by.
QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel,
                         const char* okName = "OKBtn", const char* cancelName = "CancelBtn");
// The same row for a dialog that keeps no pointers to its buttons.
QHBoxLayout* OkCancelRow(QDialog* dialog);

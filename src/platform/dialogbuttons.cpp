#include "platform/dialogbuttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

QHBoxLayout* OkCancelRow(QDialog* dialog, QPushButton*& ok, QPushButton*& cancel,
                         const char* okName, const char* cancelName) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    ok = new QPushButton("OK", dialog);
    ok->setObjectName(okName);
    ok->setDefault(true);
    cancel = new QPushButton("Cancel", dialog);
    cancel->setObjectName(cancelName);
    row->addWidget(ok);
    row->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return row;
}

QHBoxLayout* OkCancelRow(QDialog* dialog) {
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    return OkCancelRow(dialog, ok, cancel);
}

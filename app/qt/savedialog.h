#pragma once

#include <QFileDialog>

// The save dialog for the dump file: "Dump file (*.DMP)" first, then "Binary file (*.BIN)" and
// "Any file (*.*)"; default extension DMP; asks before replacing a file; accepts only a name in
// a folder that exists.
class TSaveDialog final : public QFileDialog
{
    Q_OBJECT

public:
    explicit TSaveDialog(QWidget* parent);

public slots:
    void accept() override;
};

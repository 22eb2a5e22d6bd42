// The form of a calendar event: title, start and end in the computer's time zone (written in
// UTC), and place.
#pragma once

#include <QDateTime>

#include "app/symbol_form.h"

class QDateTimeEdit;
class QLineEdit;

namespace velmora {

class EventForm : public SymbolForm {
    Q_OBJECT

public:
    // Starts at the next full hour and lasts an hour; now is when the form opens.
    explicit EventForm(QWidget* parent = nullptr, const QDateTime& now = QDateTime::currentDateTime());

protected:
    std::string buildText(QString& problem) const override;

private:
    QLineEdit* summary_;
    QDateTimeEdit* start_;
    QDateTimeEdit* end_;
    QLineEdit* place_;
    qint64 lastStart_;  // the start before its last change, so that the end keeps the duration
};

}  // namespace velmora

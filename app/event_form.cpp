#include "app/event_form.h"

#include <QDateTimeEdit>
#include <QFormLayout>
#include <QLineEdit>
#include <QUuid>

#include "app/language.h"
#include "codecs/text_builders.h"

namespace velmora {
namespace {

// A local date and time box over the years a calendar file can write.
QDateTimeEdit* timeField(QWidget* form, const char* name, const QDateTime& value) {
    auto* field = new QDateTimeEdit(form);
    field->setObjectName(QString::fromLatin1(name));
    field->setTimeSpec(Qt::LocalTime);
    field->setDateTimeRange(QDateTime(QDate(1970, 1, 2), QTime(0, 0)), QDateTime(QDate(9999, 12, 30), QTime(23, 59)));
    field->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    field->setCalendarPopup(true);
    field->setDateTime(value);
    return field;
}

}  // namespace

EventForm::EventForm(QWidget* parent, const QDateTime& now) : SymbolForm(currentFormTexts().eventtitle, parent) {
    setObjectName(QStringLiteral("EventForm"));
    const FormTexts& texts = currentFormTexts();
    const QDateTime nextHour(now.date(), QTime(now.time().hour(), 0));
    summary_ = new QLineEdit(this);
    summary_->setObjectName(QStringLiteral("EventSummary"));
    start_ = timeField(this, "EventStart", nextHour.addSecs(3600));
    end_ = timeField(this, "EventEnd", nextHour.addSecs(7200));
    place_ = new QLineEdit(this);
    place_->setObjectName(QStringLiteral("EventPlace"));
    fields()->addRow(texts.summary, summary_);
    fields()->addRow(texts.starts, start_);
    fields()->addRow(texts.ends, end_);
    fields()->addRow(texts.place, place_);
    addNote(texts.localtime);
    // Moving the start moves the end with it, as calendars do.
    lastStart_ = start_->dateTime().toSecsSinceEpoch();
    connect(start_, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& start) {
        end_->setDateTime(end_->dateTime().addSecs(start.toSecsSinceEpoch() - lastStart_));
        lastStart_ = start.toSecsSinceEpoch();
    });
}

std::string EventForm::buildText(QString& problem) const {
    EventFields event;
    event.summary = summary_->text().trimmed().toStdString();
    event.location = place_->text().trimmed().toStdString();
    event.start = start_->dateTime().toSecsSinceEpoch();
    event.end = end_->dateTime().toSecsSinceEpoch();
    if (event.summary.empty()) {
        problem = currentFormTexts().eventnotitle;
        return {};
    }
    if (event.end < event.start) {
        problem = currentFormTexts().eventendsearly;
        return {};
    }
    event.stamp = QDateTime::currentSecsSinceEpoch();
    event.uid = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + "@velmora";
    return calendarSymbolText(event);
}

}  // namespace velmora

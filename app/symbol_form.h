// A small form that writes the text of a new symbol from fields the user fills in. Accepting it
// builds the text, or shows in the form why the fields make none and keeps it open, so that
// nothing typed is lost.
#pragma once

#include <QDialog>
#include <string>

class QDialogButtonBox;
class QFormLayout;
class QLabel;

namespace velmora {

class SymbolForm : public QDialog {
    Q_OBJECT

public:
    SymbolForm(const QString& title, QWidget* parent);

    // The text the fields made, valid once the form was accepted.
    const std::string& symbolText() const { return text_; }
    // Why the last attempt to accept made no text; empty when it made one.
    QString problem() const;

    // Builds the text; closes the form only when there is one.
    void accept() override;

protected:
    // The text of the fields, or an empty text with the reason in problem.
    virtual std::string buildText(QString& problem) const = 0;
    // Where a form adds its labelled fields.
    QFormLayout* fields() const { return fields_; }
    // A note under the fields in the form's own words.
    void addNote(const QString& note);

private:
    QFormLayout* fields_;
    QLabel* note_;
    QLabel* problem_;
    QDialogButtonBox* buttons_;
    std::string text_;
};

}  // namespace velmora

#include "gui/widgets/hex_edit.h"

#include "common/hex_field.h"

#include <QFontDatabase>
#include <QValidator>

namespace {

// Filters typed or pasted text down to what a hexadecimal field takes.
class CHexValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override
    {
        const std::string typed = input.toStdString();
        const std::string kept = CHexField::Normalize(typed);
        if (kept != typed) {
            // Keep the cursor behind the characters that survived.
            const std::string before = CHexField::Normalize(typed.substr(0, static_cast<size_t>(pos)));
            input = QString::fromStdString(kept);
            pos = static_cast<int>(before.size());
        }
        return Acceptable;
    }
};

} // namespace

CHexEdit::CHexEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new CHexValidator(this));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void CHexEdit::Bind(CHexField* field)
{
    field_ = field;
    Load();
}

void CHexEdit::Load()
{
    if (!field_)
        return;
    setMaxLength(field_->Digits());
    setText(QString::fromStdString(field_->text));
    updateGeometry();
}

void CHexEdit::Store()
{
    if (field_)
        field_->text = text().toStdString();
}

QSize CHexEdit::sizeHint() const
{
    // Room for eight digits whatever the field's count, so that a unit
    // change does not move the layout.
    const QFontMetrics fm(font());
    QSize hint = QLineEdit::sizeHint();
    hint.setWidth(fm.horizontalAdvance(QStringLiteral("DDDDDDDD")) + 2 * fm.averageCharWidth() + 12);
    return hint;
}

QSize CHexEdit::minimumSizeHint() const
{
    return sizeHint();
}

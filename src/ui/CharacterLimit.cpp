#include "ui/CharacterLimit.h"

#include <QLineEdit>

namespace ui {

qsizetype characterCount(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
    }
    return count;
}

CharacterLimit::CharacterLimit(int characters, QObject* parent)
    : QValidator(parent), characters_(characters) {}

// An edit that would pass the limit is refused whole, so the box keeps its text, its undo steps
// and its signals quiet. setText is not refused: a longer stored text is still shown.
QValidator::State CharacterLimit::validate(QString& input, int&) const {
    return characterCount(input) <= characters_ ? Acceptable : Invalid;
}

void limitCharacters(QLineEdit& box, int characters) {
    if (auto* limit = qobject_cast<CharacterLimit*>(const_cast<QValidator*>(box.validator()))) {
        limit->setCharacters(characters);
        return;
    }
    box.setValidator(new CharacterLimit(characters, &box));
}

int characterLimit(const QLineEdit& box) {
    const auto* limit = qobject_cast<const CharacterLimit*>(box.validator());
    return limit ? limit->characters() : 0;
}

} // namespace ui

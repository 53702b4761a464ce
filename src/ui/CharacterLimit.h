#pragma once

#include <QStringView>
#include <QValidator>

class QLineEdit;

namespace ui {

// Characters in a text: a character outside the basic plane (𠮷, U+20BB7) counts once, as the
// database's length() counts it, not as its two UTF-16 units.
qsizetype characterCount(QStringView text);

// Keeps a box to `characters` characters. QLineEdit::setMaxLength counts UTF-16 units, so a name
// with 𠮷 could not be typed to its full length. Typing or pasting past the limit is refused;
// setText is not limited. Calling it again changes the limit.
void limitCharacters(QLineEdit& box, int characters);
// The box's limit in characters; 0 when it has none.
int characterLimit(const QLineEdit& box);

class CharacterLimit : public QValidator {
    Q_OBJECT
public:
    CharacterLimit(int characters, QObject* parent);
    int characters() const { return characters_; }
    void setCharacters(int characters) { characters_ = characters; }
    State validate(QString& input, int& pos) const override;

private:
    int characters_;
};

} // namespace ui

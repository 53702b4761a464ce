#pragma once

#include <QString>

#include <random>

namespace store {
class Database;
}

namespace bench {

// Realistic persons for measurements: Chinese names, ID numbers with valid check characters,
// birth and retirement dates that fit each other, category values from km, a photo now and then.
class PersonGenerator {
public:
    explicit PersonGenerator(unsigned seed = 20081) : random_(seed) {}

    // Appends `count` persons to wslib in one transaction, numbered from 000001 on.
    void fill(store::Database& db, int count);

    QString name();
    static QChar idCheckCharacter(const QString& first17);

private:
    int uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    std::mt19937 random_;
};

} // namespace bench

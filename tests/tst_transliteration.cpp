// SPDX-License-Identifier: MIT
// Cyrillic-to-Latin transliteration: the whole table, the letters-file quirks and the built-in
// forms.
#include "romanization.h"
#include "spellings_file.h"
#include "text_file.h"
#include "transliteration.h"

#include <QTextCodec>

#include <QtTest>

namespace {
const QString lower = QStringLiteral("абвгдежзийклмнопрстуфхцчшщъыьэюя");
const QString upper = QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ");
const QString usual = lower + upper;
} // namespace

class Transliteration : public QObject {
    Q_OBJECT
private slots:
    // clang-format off
    void table_data()
    {
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("latin");
        const QStringList latin = QStringLiteral(
            "a b v g d e zh z i y k l m n o p r s t u f h ts ch sh sh _ i ' e yu ya").split(' ');
        for (int k = 0; k < 32; ++k) {
            const QString out = latin[k] == QLatin1String("_") ? QString() : latin[k];
            QTest::addRow("%d", k) << QString(lower[k]) << out;
            QTest::addRow("%d", k + 32) << QString(upper[k]) << out.toUpper();
        }
    }
    // clang-format on
    void table()
    {
        QFETCH(QString, letter);
        QFETCH(QString, latin);
        QCOMPARE(transliterate(letter, usual), latin);
    }

    // clang-format off
    void text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QString>("latin");
        QTest::newRow("empty") << "" << usual << "";
        QTest::newRow("mixed") << "DDT - Осень 1991!" << usual << "DDT - Osen' 1991!";
        QTest::newRow("two-letter capital before a small letter, as names are written")
            << "Жанна Юрий Щука Цой Чиж Шура Яна" << usual << "Zhanna Yuriy Shuka Tsoy Chizh Shura Yana";
        QTest::newRow("two-letter capital among capitals, at the end, before a sign")
            << "ЖАННА Ж. ЖЖ Ю" << usual << "ZHANNA ZH. ZHZH YU";
        QTest::newRow("hard sign vanishes, yo has a built-in form") << "Подъём Ёлка" << usual << "Podem Elka";
        QTest::newRow("other Cyrillic letters, capitals as capitals")
            << "Єє Її Іі Ґґ Ўў Ђђ Јј Љљ Њњ Ћћ Џџ Ѓѓ Ќќ Ѕѕ" << usual
            << "Yeye Yiyi Ii Gg Uu Djdj Jj Ljlj Njnj Cc Dzdz Gg Kk Dzdz";
        QTest::newRow("built-in two-letter capital among capitals") << "ЄВГЕН ЉУБАВ Є" << usual
            << "YEVGEN LJUBAV YE";
        QTest::newRow("typographic marks") << "«Рок» „Ля“ ”‘’‚ – — … №\u00A0• · ™ © ® €" << usual
                                           << "\"Rok\" \"Lya\" \"''' - - ... No * . (TM) (C) (R) EUR";
        QTest::newRow("the letters file wins over a built-in form") << "ё" << QStringLiteral("абвгдеё") << "zh";
        QTest::newRow("line break between rows shifts capitals")
            << "Аня\nЯ" << lower + "\n" + upper << "BnyaAЯ";
        QTest::newRow("trailing line break") << "Яма" << usual + "\n" << "Yama";
        QTest::newRow("short letters file") << "абв\x01" << QStringLiteral("аб") << "abв\x01";
        QTest::newRow("NUL never matches a missing letter")
            << QString(QChar(0)) << QStringLiteral("а") << QString(QChar(0));
        QTest::newRow("duplicate letter gives both")
            << "аб" << QStringLiteral("аа") + usual.mid(2) << "ab" + QStringLiteral("б");
    }
    // clang-format on
    void text()
    {
        QFETCH(QString, text);
        QFETCH(QString, letters);
        QFETCH(QString, latin);
        QCOMPARE(transliterate(text, letters), latin);
    }

    // Each language's official examples, and how capitals follow.
    // clang-format off
    void languages_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("latin");
        QTest::newRow("uk: і, ї after a consonant") << "uk" << "Київ" << "Kyiv";
        QTest::newRow("uk: х, і") << "uk" << "Харків" << "Kharkiv";
        QTest::newRow("uk: и, ї after a vowel") << "uk" << "Миколаїв" << "Mykolaiv";
        QTest::newRow("uk: ю at the start, й at the end") << "uk" << "Юрій" << "Yurii";
        QTest::newRow("uk: зг") << "uk" << "Згорани" << "Zghorany";
        QTest::newRow("uk: the apostrophe, я inside a word") << "uk" << "Знам'янка" << "Znamianka";
        QTest::newRow("uk: an apostrophe between Latin letters stays") << "uk" << "O'Connor, Знам’янка" << "O'Connor, Znamianka";
        QTest::newRow("uk: є, ї at the start of a word") << "uk" << "Єнакієве, Їжакевич" << "Yenakiieve, Yizhakevych";
        QTest::newRow("uk: щ as a name") << "uk" << "Щербухи" << "Shcherbukhy";
        QTest::newRow("uk: щ in capitals") << "uk" << "ЩЕРБУХИ" << "SHCHERBUKHY";
        QTest::newRow("uk: a word of one capital as a name") << "uk" << "Я і ти" << "Ya i ty";
        QTest::newRow("bg: a word of one capital beside capitals") << "bg" << "Я И ТИ" << "YA I TI";
        QTest::newRow("uk: a Russian letter in a Ukrainian text") << "uk" << "Мысль" << "Misl";
        QTest::newRow("bg: ъ") << "bg" << "Слънце" << "Slantse";
        QTest::newRow("bg: ъ alone") << "bg" << "Път" << "Pat";
        QTest::newRow("bg: ия at the end") << "bg" << "София" << "Sofia";
        QTest::newRow("bg: the country's name, the Act's exception") << "bg" << "България" << "Bulgaria";
        QTest::newRow("bg: щ") << "bg" << "Щастие" << "Shtastie";
        QTest::newRow("sr: љ, ђ, ћ") << "sr" << "Љубљана, Ђорђевић" << "Ljubljana, Đorđević";
        QTest::newRow("mk: ѓ, ќ, ѕ, џ, capitals as names") << "mk" << "Ѓорѓија, Ќерка, ЅВЕЗДА, Џамбаз" << "Gjorgjija, Kjerka, DZVEZDA, Djambaz";
        QTest::newRow("a Cyrillic letter without a Latin form") << "bg" << "Ѣ" << "?";
        QTest::newRow("ru: the table and the letters as they were") << "ru" << "Юрий Щербаков" << "Yuriy Sherbakov";
    }
    // clang-format on
    void languages()
    {
        QFETCH(QString, language);
        QFETCH(QString, text);
        QTEST(to_latin(Romanization(usual, language), text), "latin");
    }

    // The station's own spellings: whole words and phrases, any case,
    // capitals kept, the longest first; the rest transliterated.
    // clang-format off
    void spellings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("latin");
        QTest::newRow("a name") << "Сплин" << "Splean";
        QTest::newRow("in capitals") << "СПЛИН" << "SPLEAN";
        QTest::newRow("in another case") << "сплин" << "Splean";
        QTest::newRow("a name with a hyphen and a digit") << "Би-2 - Варвара" << "Bi-2 - Varvara";
        QTest::newRow("the longest first") << "Ю-Питер и Би-2" << "U-Piter & Bi-2";
        QTest::newRow("only whole words") << "Сплинтер" << "Splinter";
        QTest::newRow("a line without blanks around =") << "Кино" << "Kino (band)";
    }
    // clang-format on
    void spellings()
    {
        QFETCH(QString, text);
        const auto spellings = std::make_shared<const Spellings>(read_spellings(
            "# bands\nСплин = Splean\nБи-2 = Bi-2\nЮ-Питер = U-Piter\nЮ-Питер и "
            "Би-2 = U-Piter & Bi-2\nno equals sign\nКино=Kino (band)\nсплин = Splin\n"));
        QCOMPARE(spellings->problems,
                 QStringList({"line 6: no \"=\" between the text and its spelling",
                              "line 8: the same text as line 2, whose spelling counts"}));
        QTEST(to_latin_name(Romanization(usual, "ru", spellings), text), "latin");
    }

    // A pass reads the file's bytes and passes over the lines that cannot
    // match: what it keeps, line numbers included, is what a full read keeps.
    // clang-format off
    void spellings_file_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("locale");
        const QByteArray rows = "Сплин = Splean\nКино = Kino\nБи-2 = Bi-2\n";
        QTest::newRow("UTF-8") << rows << QByteArray("UTF-8");
        QTest::newRow("UTF-8 with its mark") << "\xEF\xBB\xBF" + rows << QByteArray("UTF-8");
        QTest::newRow("CRLF") << QByteArray(rows).replace("\n", "\r\n") << QByteArray("UTF-8");
        QTest::newRow("windows-1251 under its locale")
            << QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(rows))
            << QByteArray("windows-1251");
        const QString text = QString::fromUtf8(rows); // little-endian units, as x86 has them
        QTest::newRow("UTF-16 with its mark")
            << "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(text.utf16()), int(text.size()) * 2)
            << QByteArray("UTF-8");
        QTest::newRow("capitals in the file") << QByteArray(rows).replace("Би", "БИ") << QByteArray("UTF-8");
        QTest::newRow("a cut sequence after the mark")
            << "\xEF\xBB\xBF" + rows + "\xD0" << QByteArray("UTF-8");
    }
    // clang-format on
    void spellings_file()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, locale);
        QTextCodec *const codec = QTextCodec::codecForName(locale);
        const QString onlyIn = QStringLiteral("би-2 и Сплин");
        const Spellings fast = read_spellings_file(bytes, codec, &onlyIn);
        const Spellings full = read_spellings(config_text(bytes, codec), &onlyIn);
        QStringList got, want;
        for (const Spelling &s : fast.entries)
            got << QStringLiteral("%1 %2 %3").arg(s.written, s.latin).arg(s.line);
        for (const Spelling &s : full.entries)
            want << QStringLiteral("%1 %2 %3").arg(s.written, s.latin).arg(s.line);
        QCOMPARE(got, want);
        QCOMPARE(got.size(), 2);
    }
};

QTEST_APPLESS_MAIN(Transliteration)
#include "tst_transliteration.moc"

#include "client/missions/mdbcondition.h"

#include "client/foundation/datetext.h"
#include "client/missions/mdbvalues.h"

#include <QDateTime>

namespace Mdb::Sql {

namespace {

struct Token {
    enum class Kind { Name, Word, Number, Text, Date, Symbol, End, Bad };
    Kind kind = Kind::End;
    QString text;
};

// Splits SQL text into names ([...] or words), numbers, texts, dates and signs.
class Lexer {
public:
    explicit Lexer(const QString& text) : m_text(text) {}

    Token next() {
        while (m_at < m_text.size() && m_text[m_at].isSpace())
            ++m_at;
        Token t;
        if (m_at >= m_text.size())
            return t;
        const QChar c = m_text[m_at];
        if (c == QLatin1Char('[')) {
            const qsizetype close = m_text.indexOf(QLatin1Char(']'), m_at + 1);
            return close < 0 ? bad() : take(Token::Kind::Name, m_at + 1, close, close + 1);
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            // A quote inside is written twice.
            t.kind = Token::Kind::Text;
            for (qsizetype i = m_at + 1; i < m_text.size(); ++i) {
                if (m_text[i] != c) {
                    t.text += m_text[i];
                } else if (i + 1 < m_text.size() && m_text[i + 1] == c) {
                    t.text += c;
                    ++i;
                } else {
                    m_at = i + 1;
                    return t;
                }
            }
            return bad();
        }
        if (c == QLatin1Char('#')) {
            const qsizetype close = m_text.indexOf(QLatin1Char('#'), m_at + 1);
            return close < 0 ? bad() : take(Token::Kind::Date, m_at + 1, close, close + 1);
        }
        if (c.isDigit() ||
            (c == QLatin1Char('.') && m_at + 1 < m_text.size() && m_text[m_at + 1].isDigit())) {
            qsizetype end = m_at;
            while (end < m_text.size() && (m_text[end].isDigit() || m_text[end] == '.'))
                ++end;
            if (end < m_text.size() && (m_text[end] == 'e' || m_text[end] == 'E')) {
                qsizetype exponent = end + 1;
                if (exponent < m_text.size() &&
                    (m_text[exponent] == '+' || m_text[exponent] == '-'))
                    ++exponent;
                if (exponent < m_text.size() && m_text[exponent].isDigit()) {
                    end = exponent;
                    while (end < m_text.size() && m_text[end].isDigit())
                        ++end;
                }
            }
            return take(Token::Kind::Number, m_at, end, end);
        }
        if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = m_at;
            while (end < m_text.size() && (m_text[end].isLetterOrNumber() || m_text[end] == '_'))
                ++end;
            return take(Token::Kind::Word, m_at, end, end);
        }
        for (const char* sign : {"<>", "<=", ">="}) {
            if (m_text.mid(m_at, 2) == QLatin1String(sign))
                return take(Token::Kind::Symbol, m_at, m_at + 2, m_at + 2);
        }
        return take(Token::Kind::Symbol, m_at, m_at + 1, m_at + 1);
    }

private:
    Token take(Token::Kind kind, qsizetype from, qsizetype to, qsizetype next) {
        Token t;
        t.kind = kind;
        t.text = m_text.mid(from, to - from);
        m_at = next;
        return t;
    }
    Token bad() {
        m_at = m_text.size();
        Token t;
        t.kind = Token::Kind::Bad;
        return t;
    }

    const QString& m_text;
    qsizetype m_at = 0;
};

class Parser {
public:
    explicit Parser(const QString& text) : m_lexer(text) {
        advance();
    }

    std::unique_ptr<Node> condition() {
        std::unique_ptr<Node> node = orList();
        return node && m_token.kind == Token::Kind::End ? std::move(node) : nullptr;
    }

    bool columnOnly(ColumnRef* out) {
        if (isSymbol("*")) {
            advance();
            out->column = QStringLiteral("*");
        } else if (!columnRef(out)) {
            return false;
        }
        return m_token.kind == Token::Kind::End;
    }

private:
    void advance() {
        m_token = m_lexer.next();
    }
    bool isWord(const char* word) const {
        return m_token.kind == Token::Kind::Word &&
               m_token.text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char* sign) const {
        return m_token.kind == Token::Kind::Symbol && m_token.text == QLatin1String(sign);
    }
    bool isKeyword() const {
        for (const char* word : {"And", "Or", "Not", "Between", "Is", "Null", "Like", "In", "True",
                                 "False", "Yes", "No", "On", "Off", "Select", "Mod"}) {
            if (isWord(word))
                return true;
        }
        return false;
    }

    static std::unique_ptr<Node> join(Node::Kind kind, std::unique_ptr<Node> a,
                                      std::unique_ptr<Node> b) {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->children.push_back(std::move(a));
        if (b)
            node->children.push_back(std::move(b));
        return node;
    }

    std::unique_ptr<Node> orList() {
        std::unique_ptr<Node> node = andList();
        while (node && isWord("Or")) {
            advance();
            std::unique_ptr<Node> right = andList();
            node = right ? join(Node::Kind::Or, std::move(node), std::move(right)) : nullptr;
        }
        return node;
    }

    std::unique_ptr<Node> andList() {
        std::unique_ptr<Node> node = negation();
        while (node && isWord("And")) {
            advance();
            std::unique_ptr<Node> right = negation();
            node = right ? join(Node::Kind::And, std::move(node), std::move(right)) : nullptr;
        }
        return node;
    }

    std::unique_ptr<Node> negation() {
        if (!isWord("Not"))
            return predicate();
        advance();
        std::unique_ptr<Node> inner = negation();
        return inner ? join(Node::Kind::Not, std::move(inner), nullptr) : nullptr;
    }

    std::unique_ptr<Node> predicate() {
        std::unique_ptr<Node> left = operand();
        if (!left)
            return nullptr;
        if (m_token.kind == Token::Kind::Symbol) {
            for (const char* op : {"=", "<>", "<", "<=", ">", ">="}) {
                if (!isSymbol(op))
                    continue;
                advance();
                std::unique_ptr<Node> right = operand();
                if (!right)
                    return nullptr;
                std::unique_ptr<Node> node =
                    join(Node::Kind::Compare, std::move(left), std::move(right));
                node->op = QLatin1String(op);
                return node;
            }
            return left;
        }
        if (isWord("Between")) {
            advance();
            std::unique_ptr<Node> low = operand();
            if (!low || !isWord("And"))
                return nullptr;
            advance();
            std::unique_ptr<Node> high = operand();
            if (!high)
                return nullptr;
            std::unique_ptr<Node> node = join(Node::Kind::Between, std::move(left), std::move(low));
            node->children.push_back(std::move(high));
            return node;
        }
        if (isWord("Is")) {
            advance();
            bool negated = false;
            if (isWord("Not")) {
                negated = true;
                advance();
            }
            if (!isWord("Null"))
                return nullptr;
            advance();
            std::unique_ptr<Node> node = join(Node::Kind::IsNull, std::move(left), nullptr);
            node->negated = negated;
            return node;
        }
        return left;
    }

    std::unique_ptr<Node> operand() {
        if (isSymbol("(")) {
            advance();
            std::unique_ptr<Node> inner = orList();
            if (!inner || !isSymbol(")"))
                return nullptr;
            advance();
            return inner;
        }
        auto node = std::make_unique<Node>();
        node->kind = Node::Kind::Literal;
        Literal& value = node->literal;
        bool negative = false;
        if (isSymbol("-")) {
            negative = true;
            advance();
            if (m_token.kind != Token::Kind::Number)
                return nullptr;
        }
        switch (m_token.kind) {
        case Token::Kind::Number: {
            bool ok = false;
            value.kind = Literal::Kind::Number;
            value.number = m_token.text.toDouble(&ok) * (negative ? -1 : 1);
            if (!ok)
                return nullptr;
            break;
        }
        case Token::Kind::Text:
            value.kind = Literal::Kind::Text;
            value.text = m_token.text;
            break;
        case Token::Kind::Date: {
            QDateTime date;
            if (!DateText::parseDateTime(m_token.text, &date))
                return nullptr;
            value.kind = Literal::Kind::Date;
            value.number = double(date.date().toJulianDay() - Stored::ZeroDateJulianDay) +
                           date.time().msecsSinceStartOfDay() / 86400000.0;
            break;
        }
        case Token::Kind::Word:
        case Token::Kind::Name:
            if (isWord("Null")) {
                value.kind = Literal::Kind::Null;
            } else if (isWord("True") || isWord("Yes") || isWord("On")) {
                value.kind = Literal::Kind::YesNo;
                value.number = -1;
            } else if (isWord("False") || isWord("No") || isWord("Off")) {
                value.kind = Literal::Kind::YesNo;
            } else {
                node->kind = Node::Kind::Column;
                return columnRef(&node->column) ? std::move(node) : nullptr;
            }
            break;
        default:
            return nullptr;
        }
        advance();
        return node;
    }

    // Name, Name.Name or Name.*; a name followed by "(" is a function, not a column.
    bool columnRef(ColumnRef* out) {
        const bool name = m_token.kind == Token::Kind::Name ||
                          (m_token.kind == Token::Kind::Word && !isKeyword());
        if (!name)
            return false;
        QString first = m_token.text;
        advance();
        if (!isSymbol(".")) {
            out->column = first;
            return !isSymbol("(") && !isSymbol("!");
        }
        advance();
        out->source = first;
        if (isSymbol("*"))
            out->column = QStringLiteral("*");
        else if (m_token.kind == Token::Kind::Name || m_token.kind == Token::Kind::Word)
            out->column = m_token.text;
        else
            return false;
        advance();
        return !isSymbol("(") && !isSymbol(".") && !isSymbol("!");
    }

    Lexer m_lexer;
    Token m_token;
};

} // namespace

bool parseColumnRef(const QString& text, ColumnRef* out) {
    Parser parser(text);
    ColumnRef ref;
    if (!parser.columnOnly(&ref))
        return false;
    *out = ref;
    return true;
}

std::unique_ptr<Node> parseCondition(const QString& text) {
    return Parser(text).condition();
}

} // namespace Mdb::Sql

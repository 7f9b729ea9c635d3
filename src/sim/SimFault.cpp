#include "SimFault.h"

namespace {

std::optional<int> count(const QString &text, int minimum)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < minimum || text.startsWith(u'+'))
        return std::nullopt;
    return n;
}

} // namespace

std::optional<SimFault> SimFault::fromOption(const QString &option, const QString &value,
                                             QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<SimFault> {
        if (error)
            *error = QStringLiteral("--%1 %2: %3").arg(option, value, why);
        return std::nullopt;
    };

    SimFault fault;
    const bool byStep = option.endsWith(QLatin1String("-step"));
    fault.action = option.startsWith(QLatin1String("fail"))    ? Action::Reply
                 : option.startsWith(QLatin1String("delay")) ? Action::Delay
                                                               : Action::Silence;
    QString where = value;
    if (fault.action == Action::Reply) {
        const qsizetype eq = value.indexOf(u'=');
        if (eq < 0 || eq == value.size() - 1)
            return fail(QStringLiteral("the error reply is missing (=!D)"));
        where = value.left(eq);
        fault.reply = value.mid(eq + 1).toLatin1();
    } else if (fault.action == Action::Delay) {
        const qsizetype eq = value.lastIndexOf(u'=');
        const std::optional<int> ms = eq < 0 ? std::nullopt : count(value.mid(eq + 1), 0);
        if (!ms)
            return fail(QStringLiteral("the delay must follow = in milliseconds"));
        where = value.left(eq);
        fault.delayMs = *ms;
    }

    if (byStep) {
        const std::optional<int> step = count(where, 0);
        if (!step)
            return fail(QStringLiteral("the step must be a number, 0 for the first step"));
        fault.step = *step;
        return fault;
    }

    // "KEYWORD#N": the last '#' followed by digits only picks the
    // occurrence, so that the free-text keyword "#" reads as "##2".
    const qsizetype hash = where.lastIndexOf(u'#');
    if (hash > 0 && hash < where.size() - 1) {
        const std::optional<int> n = count(where.mid(hash + 1), 1);
        if (!n)
            return fail(QStringLiteral("the occurrence after # must be 1 or more"));
        fault.occurrence = *n;
        where = where.left(hash);
    }
    if (where.endsWith(u':'))
        where.chop(1);
    if (where.isEmpty())
        return fail(QStringLiteral("the keyword is missing"));
    fault.keyword = where.toUpper().toLatin1();
    return fault;
}

bool SimFault::hits(const QByteArray &commandKeyword, int commandOccurrence, int commandStep) const
{
    if (step >= 0)
        return commandStep == step;
    return commandKeyword == keyword && (occurrence == 0 || occurrence == commandOccurrence);
}

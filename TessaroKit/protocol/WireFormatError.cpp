#include "WireFormatError.h"

static std::string compose(const QString &problem, const QString &path)
{
    if (path.isEmpty())
        return QStringLiteral("The data couldn't be read: %1.").arg(problem).toStdString();
    return QStringLiteral("The data couldn't be read: \"%1\" %2.").arg(path, problem).toStdString();
}

WireFormatError::WireFormatError(const QString &problem, const QString &path)
    : std::runtime_error(compose(problem, path)), m_problem(problem), m_path(path)
{
}

WireFormatError WireFormatError::within(const QString &outer) const
{
    return WireFormatError(m_problem, m_path.isEmpty() ? outer : outer + u'.' + m_path);
}

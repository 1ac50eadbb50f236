#pragma once

#include <QString>

// The user-facing text of a QNetworkReply::NetworkError code; empty for
// NoError (0), "未知异常" for codes outside the table. Used by the request
// object and by both transfer workers.
QString networkErrorText(int code);

#include "utils/vnetworkerror.h"

QString networkErrorText(int code)
{
    switch (code) {
    case 0: return QString();
    case 1: return QStringLiteral("远程服务器拒绝连接");
    case 2: return QStringLiteral("远程服务器提前关闭了连接");
    case 3: return QStringLiteral("找不到远程主机名");
    case 4: return QStringLiteral("与远程服务器的连接超时");
    case 5: return QStringLiteral("操作取消");
    case 6: return QStringLiteral("握手失败，无法建立加密通道");
    case 7: return QStringLiteral("由于与网络断开连接，但系统已启动漫游到另一个接入点。请求应重新提交，并在重新建立连接后立即处理");
    case 8: return QStringLiteral("由于断开网络或无法启动网络，连接中断");
    case 9: return QStringLiteral("由于平台策略，当前不允许后台请求");
    case 10: return QStringLiteral("在重定向后，达到了最大限制");
    case 11: return QStringLiteral("在跟踪重定向时，网络访问API检测到从加密协议（https）到未加密协议（http）的重定向");
    case 99: return QStringLiteral("检测到与网络无关的未知错误");
    case 101: return QStringLiteral("代理服务器不接受请求");
    case 102: return QStringLiteral("代理服务器提前关闭了连接");
    case 103: return QStringLiteral("无效的代理主机名");
    case 104: return QStringLiteral("与代理的连接超时或代理没有及时回复发送的请求");
    case 105: return QStringLiteral("代理需要身份验证才能请求");
    case 199: return QStringLiteral("检测到未知的代理相关错误");
    case 201: return QStringLiteral("拒绝访问远程内容");
    case 202: return QStringLiteral("不允许在远程内容上请求的操作");
    case 203: return QStringLiteral("在服务器上找不到远程内容");
    case 204: return QStringLiteral("远程服务器需要身份验证才能提供内容，但不接受提供的凭据");
    case 205: return QStringLiteral("需要再次发送请求");
    case 206: return QStringLiteral("由于与资源的当前状态冲突，无法完成请求");
    case 207: return QStringLiteral("服务器上不再提供所请求的资源");
    case 299: return QStringLiteral("检测到与远程内容相关的未知错误");
    case 301: return QStringLiteral("由于协议未知，因此Network Access API无法遵守请求");
    case 302: return QStringLiteral("请求的操作对此协议无效");
    case 399: return QStringLiteral("检测到协议故障（解析错误，无效或意外响应等）");
    case 401: return QStringLiteral("服务器遇到意外情况，导致无法完成请求");
    case 402: return QStringLiteral("服务器不支持完成请求所需的功能");
    case 403: return QStringLiteral("此时服务器无法处理请求");
    case 499: return QStringLiteral("检测到与服务器响应相关的未知错误");
    default: return QStringLiteral("未知异常");
    }
}

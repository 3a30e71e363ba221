#include "web/request.h"

#include "base/controls.h"
#include "base/eventpump.h"
#include "web/codecs.h"
#include "web/cookie_jar.h"
#include "web/http_exchange.h"

namespace rankmoth::web {

namespace {

const Text& UserAgent() {
    static const Text agent("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)");
    return agent;
}

const Text& DefaultAccept() {
    static const Text accept("image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
                             "application/x-shockwave-flash, application/vnd.ms-excel, "
                             "application/vnd.ms-powerpoint, application/msword, */*");
    return accept;
}

bool StartsWith(const Text& text, std::string_view prefix) {
    return text.bytes().starts_with(prefix);
}

const Text kCrLf("\r\n");

} // namespace

Text UrlHost(const Text& url) {
    Text host = ReplaceAll(ReplaceAll(url, Text("https://"), Text()), Text("http://"), Text());
    const int slash = Find(host, Text("/"));
    if (slash > 0)
        host = Left(host, slash - 1);
    const int colon = Find(host, Text(":"));
    if (colon > 0)
        host = Left(host, colon - 1);
    return ToLowerAscii(host);
}

Text UrlPath(const Text& url) {
    const Text host = UrlHost(url);
    // The search for the host starts behind the scheme: a short host such as "h" or "tp" would otherwise be
    // found inside "http://" itself and the path would start at the scheme's slashes.
    int from = 1;
    if (StartsWith(url, "https://"))
        from = 9;
    else if (StartsWith(url, "http://"))
        from = 8;
    const int at = host.empty() ? from : Find(url, host, from, false);
    if (at < 1)
        return Text("/");
    const int slash = Find(url, Text("/"), at);
    return slash > 0 ? MidToEnd(url, slash) : Text("/");
}

int UrlPort(const Text& url) {
    Text authority;
    if (StartsWith(ToLowerAscii(Left(url, 7)), "http://")) {
        const int slash = Find(url, Text("/"), 8);
        authority = slash > 0 ? Mid(url, 8, slash - 8) : MidToEnd(url, 8);
    } else {
        const int slash = Find(url, Text("/"));
        authority = slash > 0 ? Left(url, slash - 1) : url;
    }
    const int colon = Find(authority, Text(":"));
    if (colon < 1)
        return 80;
    const long long port = IntegerOf(MidToEnd(authority, colon + 1));
    // Beyond the port range the connection fails rather than reaching some other port.
    return port < 0 || port > 65535 ? -1 : static_cast<int>(port);
}

int InfoBox(base::Controls& controls, const Text& message, const Text& caption, int style) {
    return controls.MessageBox(message, style, caption.empty() ? "友情提醒"_gbk : caption) - 1;
}

Answer AccessWeb(WebEnv& env, Text& url, const WebAccessOptions& options) {
    url = TrimSpaces(url);
    const int method = options.method.value_or(0);
    if (method != 0 && method != 1) {
        InfoBox(env.controls, "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改"_gbk);
        return Answer::Failed(base::FailureKind::Other, "unknown request method");
    }
    const bool post = method == 1;
    if (!StartsWith(url, "http://") && !StartsWith(url, "https://"))
        url = Text("http://") + url;

    HttpExchangeRequest request;
    request.method = post ? "POST" : "GET";
    request.host = UrlHost(url);
    request.target = UrlPath(url);
    // An "https://" address goes out as plain HTTP: its authority reads as "https:", which names no port.
    request.port = UrlPort(url);
    request.proxy = RemoveAllSpaces(options.proxy).empty() ? Text() : options.proxy;
    request.userAgent = UserAgent();
    request.readChunk = 1024;
    request.followRedirects = true;
    request.deadline = options.deadline;

    const Text& postData = options.postData;
    Text headers = options.extraHeaders ? *options.extraHeaders : Text();
    if (!Contains(headers, Text("Accept: "), false))
        headers += Text("Accept: ") + DefaultAccept() + kCrLf;
    if (!Contains(headers, Text("Referer: "), false))
        headers += Text("Referer: ") + url + kCrLf;
    if (!Contains(headers, Text("Accept-Language: "), false))
        headers += Text("Accept-Language: zh-cn") + kCrLf;
    if (post && !postData.empty()) {
        headers += Text("Content-Type: application/x-www-form-urlencoded") + kCrLf;
        headers += Text("Content-Length: ") + TextOfInteger(static_cast<long long>(postData.size())) + kCrLf;
    }
    if (!options.cookies.empty())
        headers += Text("Cookie: ") + options.cookies + kCrLf + kCrLf;
    if (options.extraHeaders)
        *options.extraHeaders = headers;
    request.headerLines = HeaderLinesOf(headers);
    if (post)
        request.body = postData.bytes();

    HttpHooks hooks;
    hooks.keepGoing = [&env, &options] {
        env.pump.DispatchPending();
        return !(options.stopRequested && options.stopRequested());
    };
    CookieJar& jar = env.cookies;
    hooks.cookiesFor = [&jar](const Text& host) { return jar.HeaderValueFor(host); };
    hooks.storeCookies = [&jar](const Text& host, const Text& head) { jar.StoreFromHeaders(host, head); };

    HttpExchangeResult result = PerformHttpExchange(request, hooks);
    Answer answer = std::move(result.verdict);
    if (!result.opened)
        return answer;
    const Text headerText = HeaderBufferText(result.head);
    if (options.responseHeaders)
        *options.responseHeaders = headerText;
    // The final head is stored again for the host that was asked for, also when a redirect led elsewhere.
    jar.StoreFromHeaders(request.host, headerText);

    if (options.responseConversion == 1)
        answer.body = Utf8ToGbk(result.body).bytes();
    else if (options.responseConversion == 2)
        answer.body = Big5ToSimplifiedGbk(result.body).bytes();
    else
        answer.body = std::move(result.body);
    return answer;
}

Bytes 网页_访问(WebEnv& env, Text& url, std::optional<int> 访问方式, const Text& proxy, Text* extraHeaders,
                const Text& postData, const Text& cookies, int responseConversion, Text* responseHeaders) {
    WebAccessOptions options;
    options.method = 访问方式;
    options.proxy = proxy;
    options.extraHeaders = extraHeaders;
    options.postData = postData;
    options.cookies = cookies;
    options.responseConversion = responseConversion;
    options.responseHeaders = responseHeaders;
    Answer answer = AccessWeb(env, url, options);
    return answer.ok ? std::move(answer.body) : Bytes();
}

} // namespace rankmoth::web

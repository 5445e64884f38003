#include "decoder/ReaderErrors.h"

#include "platform/System.h"

namespace kyv {

const char* ReaderErrorText(int code) noexcept {
  switch (code) {
    case reDamaged:
    case reDamaged5:
      return "屏幕流文件被破坏";
    case reNoIndex:
      return "屏幕流文件没有索引信息";
    case reCannotConnect:
      return "无法与目标计算机建立网络连接";
    case reServiceRefused:
      return "拒绝提供直播服务";
    case reUnknown:
      return "发生未知错误，请看错误日志文件";
    case reNetwork:
      return "发生网络错误";
    case reInvalidUrl:
      return "无效的 URL";
    case reInvalidMulticastFile:
      return "无效的多播格式文件";
    case reInvalidFormat:
      return "无效的文件格式";
    case reRepositionFailed:
      return "重定位失败";
    case reResolveFailed:
      return "解析计算机地址失败";
    case reIndexInvalid:
      return "屏幕流索引表无效";
    case reUpgradeNeeded:
      return "KyvPlayer 需要升级";
    case reReadFailed:
      return "读文件失败";
    default:
      return "";
  }
}

const char* ReaderErrorEnglish(int code) noexcept {
  switch (code) {
    case reDamaged:
    case reDamaged5:
      return "the screen stream file is damaged";
    case reNoIndex:
      return "the screen stream file has no index information";
    case reCannotConnect:
      return "cannot connect to the target computer";
    case reServiceRefused:
      return "live service refused";
    case reUnknown:
      return "an unknown error occurred, see the error log file";
    case reNetwork:
      return "a network error occurred";
    case reInvalidUrl:
      return "invalid URL";
    case reInvalidMulticastFile:
      return "invalid multicast description file";
    case reInvalidFormat:
      return "invalid file format";
    case reRepositionFailed:
      return "repositioning failed";
    case reResolveFailed:
      return "resolving the computer address failed";
    case reIndexInvalid:
      return "the screen stream index table is invalid";
    case reUpgradeNeeded:
      return "KyvPlayer must be upgraded";
    case reReadFailed:
      return "reading the file failed";
    default:
      return "";
  }
}

std::string DescribeReaderFailure(int code, std::string_view cause) {
  std::string text = "error " + std::to_string(code);
  const std::string_view native = ReaderErrorText(code);
  if (!native.empty()) {
    text.append(", ").append(native);
    if (SystemDefaultLangID() != kLangChinesePrc)
      text.append(" (").append(ReaderErrorEnglish(code)).append(")");
  }
  if (!cause.empty()) text.append(": ").append(cause);
  return text;
}

}  // namespace kyv

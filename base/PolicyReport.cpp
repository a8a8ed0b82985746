#include "base/PolicyReport.h"

#include "base/KelumoConfig.h"

bool managedByPolicy(const ClientSettings &settings)
{
    return !settings.policies.empty() || !settings.policyProblems.empty();
}

std::string policyReport(const ClientSettings &settings)
{
    if (!managedByPolicy(settings))
        return {};
    std::string text = "由贵单位管理（策略文件夹 " + std::string(kelumo::policyFolder) + "/managed）\n";
    if (!settings.policies.empty())
        text += "生效的策略：\n";
    for (const ClientSettings::InForce &policy : settings.policies)
        text += "  " + policy.name + " = " + policy.value + "（" + policy.source + "）\n";
    if (!settings.policyProblems.empty())
        text += "已忽略：\n";
    for (const PolicyProblem &problem : settings.policyProblems)
        text += "  " + problem.source + "：" + problem.text + "\n";
    return text;
}

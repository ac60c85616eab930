#include "sim/profiles/DialUpTables.h"

namespace kobalt::sim {
namespace {

constexpr DunCountry kCountries[] = {
    {202, "Greece"},        {204, "Netherlands"}, {208, "France"},    {214, "Spain"},
    {222, "Italy"},         {228, "Switzerland"}, {232, "Austria"},   {234, "United Kingdom"},
    {238, "Denmark"},       {240, "Sweden"},      {242, "Norway"},    {244, "Finland"},
    {250, "Russia"},        {262, "Germany"},     {286, "Türkiye"},   {302, "Canada"},
    {310, "United States"}, {334, "Mexico"},      {404, "India"},     {440, "Japan"},
    {450, "South Korea"},   {460, "China"},       {505, "Australia"}, {530, "New Zealand"},
    {655, "South Africa"},  {722, "Argentina"},   {724, "Brazil"},
};

// Number to dial, access point, user, password, DNS (empty: the network assigns it).
constexpr DunProvider kProviders[] = {
    {202001, 202, "Cosmote", {"*99#", "internet", "", "", ""}},
    {202005, 202, "Vodafone GR", {"*99#", "internet.vodafone.gr", "", "", ""}},
    {202009, 202, "Nova", {"*99#", "gint.b-online.gr", "", "", ""}},
    {204004, 204, "Vodafone NL", {"*99#", "live.vodafone.com", "vodafone", "vodafone", ""}},
    {204008, 204, "KPN", {"*99#", "KPN4G.nl", "", "", ""}},
    {204016, 204, "Odido", {"*99#", "smartsites.t-mobile", "", "", ""}},
    {208001, 208, "Orange F", {"*99#", "orange", "orange", "orange", ""}},
    {208010, 208, "SFR", {"*99#", "sl2sfr", "", "", ""}},
    {208015, 208, "Free Mobile", {"*99#", "free", "", "", "212.27.40.240"}},
    {208020, 208, "Bouygues Telecom", {"*99#", "mmsbouygtel.com", "", "", ""}},
    {214001, 214, "Vodafone ES", {"*99#", "airtelwap.es", "wap@wap", "wap125", ""}},
    {214003, 214, "Orange ES", {"*99#", "orangeworld", "orange", "orange", ""}},
    {214007, 214, "Movistar", {"*99#", "telefonica.es", "telefonica", "telefonica", ""}},
    {222001, 222, "TIM", {"*99#", "ibox.tim.it", "", "", ""}},
    {222010, 222, "Vodafone IT", {"*99#", "mobile.vodafone.it", "", "", ""}},
    {222050, 222, "Iliad", {"*99#", "iliad", "", "", ""}},
    {222088, 222, "WINDTRE", {"*99#", "internet.it", "", "", ""}},
    {228001, 228, "Swisscom", {"*99#", "gprs.swisscom.ch", "gprs", "gprs", ""}},
    {228002, 228, "Sunrise", {"*99#", "internet.sunrise.ch", "", "", ""}},
    {228003, 228, "Salt", {"*99#", "internet.salt.ch", "", "", ""}},
    {232001, 232, "A1", {"*99#", "A1.net", "ppp@a1plus.at", "ppp", ""}},
    {232003, 232, "Magenta", {"*99#", "gprsinternet", "t-mobile", "tm", ""}},
    {232010, 232, "Drei AT", {"*99#", "drei.at", "", "", ""}},
    {234010, 234, "O2 UK", {"*99#", "mobile.o2.co.uk", "o2web", "password", ""}},
    {234015, 234, "Vodafone UK", {"*99#", "wap.vodafone.co.uk", "wap", "wap", ""}},
    {234020, 234, "Three UK", {"*99#", "three.co.uk", "", "", ""}},
    {234030, 234, "EE", {"*99#", "everywhere", "eesecure", "secure", ""}},
    {238001, 238, "TDC", {"*99#", "internet.tdc.dk", "", "", ""}},
    {238002, 238, "Telenor DK", {"*99#", "internet.telenor.dk", "", "", ""}},
    {238006, 238, "3 DK", {"*99#", "data.tre.dk", "", "", ""}},
    {238020, 238, "Telia DK", {"*99#", "www.internet.mtelia.dk", "", "", ""}},
    {240001, 240, "Telia SE", {"*99#", "online.telia.se", "", "", ""}},
    {240002, 240, "Tre SE", {"*99#", "data.tre.se", "", "", ""}},
    {240007, 240, "Tele2 SE", {"*99#", "internet.tele2.se", "", "", ""}},
    {240008, 240, "Telenor SE", {"*99#", "internet.telenor.se", "", "", ""}},
    {242001, 242, "Telenor NO", {"*99#", "telenor.smart", "", "", ""}},
    {242002, 242, "Telia NO", {"*99#", "telia", "", "", ""}},
    {242014, 242, "Ice", {"*99#", "ice.net", "", "", ""}},
    {244005, 244, "Elisa", {"*99#", "internet.elisa.fi", "", "", ""}},
    {244012, 244, "DNA", {"*99#", "internet.dna.fi", "", "", ""}},
    {244091, 244, "Telia FI", {"*99#", "internet.telia.fi", "", "", ""}},
    {250001, 250, "MTS", {"*99#", "internet.mts.ru", "mts", "mts", ""}},
    {250002, 250, "MegaFon", {"*99#", "internet", "gdata", "gdata", ""}},
    {250099, 250, "Beeline", {"*99#", "internet.beeline.ru", "beeline", "beeline", ""}},
    {262001, 262, "Telekom", {"*99#", "internet.telekom", "telekom", "tm", ""}},
    {262002, 262, "Vodafone DE", {"*99#", "web.vodafone.de", "", "", ""}},
    {262007, 262, "O2 DE", {"*99#", "pinternet.interkom.de", "", "", ""}},
    {286001, 286, "Turkcell", {"*99#", "internet.turkcell", "", "", ""}},
    {286002, 286, "Vodafone TR", {"*99#", "internet.vodafone.net", "", "", ""}},
    {286003, 286, "Türk Telekom", {"*99#", "internet.avea.com.tr", "", "", ""}},
    {302220, 302, "TELUS", {"*99#", "sp.telus.com", "", "", ""}},
    {302610, 302, "Bell", {"*99#", "pda.bell.ca", "", "", ""}},
    {302720, 302, "Rogers", {"*99#", "ltemobile.apn", "", "", ""}},
    {310260, 310, "T-Mobile US", {"*99#", "fast.t-mobile.com", "", "", ""}},
    {310410, 310, "AT&T", {"*99#", "broadband", "", "", ""}},
    {311480, 310, "Verizon", {"#777", "vzwinternet", "", "", ""}},
    {334003, 334, "Movistar MX", {"*99#", "internet.movistar.mx", "movistar", "movistar", ""}},
    {334020, 334, "Telcel", {"*99#", "internet.itelcel.com", "webgprs", "webgprs2002", ""}},
    {334050, 334, "AT&T MX", {"*99#", "internet.att.net.mx", "", "", ""}},
    {404010, 404, "Airtel", {"*99#", "airtelgprs.com", "", "", ""}},
    {404020, 404, "Vi", {"*99#", "www", "", "", ""}},
    {404034, 404, "BSNL", {"*99#", "bsnlnet", "", "", ""}},
    {405857, 404, "Jio", {"*99#", "jionet", "", "", ""}},
    {440010, 440, "NTT docomo", {"*99#", "spmode.ne.jp", "", "", ""}},
    {440020, 440, "SoftBank", {"*99#", "plus.4g", "plus", "4g", ""}},
    {440050,
     440,
     "au",
     {"*99#", "uno.au-net.ne.jp", "685840734641020@uno.au-net.ne.jp", "KpyrR6BP", ""}},
    {450005, 450, "SK Telecom", {"*99#", "lte.sktelecom.com", "", "", ""}},
    {450006, 450, "LG U+", {"*99#", "internet.lguplus.co.kr", "", "", ""}},
    {450008, 450, "KT", {"*99#", "lte.ktfwing.com", "", "", ""}},
    {460000, 460, "China Mobile", {"*99#", "cmnet", "", "", ""}},
    {460001, 460, "China Unicom", {"*99#", "3gnet", "", "", ""}},
    {460003, 460, "China Telecom", {"#777", "ctnet", "ctnet@mycdma.cn", "vnet.mobi", ""}},
    {505001, 505, "Telstra", {"*99#", "telstra.internet", "", "", ""}},
    {505002, 505, "Optus", {"*99#", "yesinternet", "", "", ""}},
    {505003, 505, "Vodafone AU", {"*99#", "live.vodafone.com", "", "", ""}},
    {530001, 530, "One NZ", {"*99#", "internet.vodafone.net.nz", "", "", ""}},
    {530005, 530, "Spark", {"*99#", "internet.telecom.co.nz", "", "", ""}},
    {530024, 530, "2degrees", {"*99#", "internet.2degrees.nz", "", "", ""}},
    {655001, 655, "Vodacom", {"*99#", "internet.vodacom.za", "", "", ""}},
    {655007, 655, "Cell C", {"*99#", "internet.cellc.co.za", "", "", ""}},
    {655010, 655, "MTN ZA", {"*99#", "myMTN", "", "", ""}},
    {722007, 722, "Movistar AR", {"*99#", "internet.gprs.unifon.com.ar", "wap", "wap", ""}},
    {722034, 722, "Personal", {"*99#", "datos.personal.com", "datos", "datos", ""}},
    {722310, 722, "Claro AR", {"*99#", "igprs.claro.com.ar", "clarogprs", "clarogprs999", ""}},
    {724004, 724, "TIM BR", {"*99#", "timbrasil.br", "tim", "tim", ""}},
    {724005, 724, "Claro BR", {"*99#", "claro.com.br", "claro", "claro", ""}},
    {724006, 724, "Vivo", {"*99#", "zap.vivo.com.br", "vivo", "vivo", "8.8.8.8"}},
};

} // namespace

std::span<const DunCountry> DunCountries() {
    return kCountries;
}

std::span<const DunProvider> DunProviders() {
    return kProviders;
}

const DunCountry* FindDunCountry(uint32_t id) {
    for (const DunCountry& country : kCountries) {
        if (country.id == id) {
            return &country;
        }
    }
    return nullptr;
}

const DunProvider* FindDunProvider(uint32_t id) {
    for (const DunProvider& provider : kProviders) {
        if (provider.id == id) {
            return &provider;
        }
    }
    return nullptr;
}

} // namespace kobalt::sim

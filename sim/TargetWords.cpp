// The words this verification library puts in place of %Target1%, in the
// language of each section of the language file (UTF-8). Some languages
// inflect them as the object of the prompt sentence.
#include "NotebookCertify.h"

#include <string_view>

namespace sim {

namespace {

struct TargetWords {
    std::string_view section;
    const char8_t* supervisor;
    const char8_t* user;
    const char8_t* password;
};

constexpr TargetWords kTargetWords[] = {
        {"English", u8"supervisor password", u8"user password", u8"password"},
        {"German", u8"Supervisor-Kennwort", u8"Benutzerkennwort", u8"Kennwort"},
        {"Spanish", u8"contraseña de supervisor", u8"contraseña de usuario", u8"contraseña"},
        {"French", u8"mot de passe superviseur", u8"mot de passe utilisateur", u8"mot de passe"},
        {"Italian", u8"password di supervisore", u8"password utente", u8"password"},
        {"Dutch", u8"supervisorwachtwoord", u8"gebruikerswachtwoord", u8"wachtwoord"},
        {"Norwegian", u8"supervisorpassordet", u8"brukerpassordet", u8"passordet"},
        {"Portuguese", u8"palavra-passe de supervisor", u8"palavra-passe de utilizador", u8"palavra-passe"},
        {"Swedish", u8"supervisorlösenordet", u8"användarlösenordet", u8"lösenordet"},
        {"ChineseTW", u8"管理者密碼", u8"使用者密碼", u8"密碼"},
        {"Czech", u8"heslo správce", u8"heslo uživatele", u8"heslo"},
        {"Danish", u8"supervisoradgangskoden", u8"brugeradgangskoden", u8"adgangskoden"},
        {"Greek", u8"κωδικό πρόσβασης διαχειριστή", u8"κωδικό πρόσβασης χρήστη", u8"κωδικό πρόσβασης"},
        {"Finnish", u8"pääkäyttäjän salasana", u8"käyttäjän salasana", u8"salasana"},
        {"Hungarian", u8"rendszergazdai jelszót", u8"felhasználói jelszót", u8"jelszót"},
        {"Japanese", u8"スーパーバイザー パスワード", u8"ユーザー パスワード", u8"パスワード"},
        {"Korean", u8"관리자 암호", u8"사용자 암호", u8"암호"},
        {"Polish", u8"hasło administratora", u8"hasło użytkownika", u8"hasło"},
        {"PortugueseBr", u8"senha de supervisor", u8"senha de usuário", u8"senha"},
        {"Russian", u8"пароль администратора", u8"пароль пользователя", u8"пароль"},
        {"Slovak", u8"heslo správcu", u8"heslo používateľa", u8"heslo"},
        {"Turkish", u8"yönetici parolasını", u8"kullanıcı parolasını", u8"parolayı"},
        {"Chinese", u8"管理员密码", u8"用户密码", u8"密码"},
        {"ChineseHK", u8"管理員密碼", u8"用戶密碼", u8"密碼"},
};

std::string Utf8(const char8_t* text)
{
    return std::string(reinterpret_cast<const char*>(text));
}

} // namespace

std::string TargetPhrase(const std::string& section, TargetKind kind)
{
    const TargetWords* words = &kTargetWords[0]; // English unless the section has its own
    for (const TargetWords& row : kTargetWords)
        if (row.section == section)
            words = &row;
    switch (kind) {
    case TargetKind::Supervisor: return Utf8(words->supervisor);
    case TargetKind::User: return Utf8(words->user);
    default: return Utf8(words->password);
    }
}

} // namespace sim

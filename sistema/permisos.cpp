// Los permisos, la ACL, los atributos extendidos y el dueño del fichero que se reemplaza, para
// el temporal que tomará su nombre.
#include <acl/libacl.h>
#include <attr/libattr.h>
#include <sys/acl.h>
#include <unistd.h>

#include <cerrno>

#include "sistema/escritor.h"
#include "sistema/ficheros.h"
#include "sistema/razones.h"

namespace tesmalo {

void Escritor_destino::Copiar_permisos() {
    const struct stat& viejo = destino_.estado;
    const int nuevo = fichero_.Fd();
    // El dueño primero, porque cambiarlo borra los bits de setuid y setgid. Sin privilegios
    // sólo se puede dar un grupo propio; si no se puede, el grupo se comprueba al final.
    // Lo que no se pueda dar aquí lo ve la comprobación del final.
    const uid_t dueno = geteuid() == 0 ? viejo.st_uid : static_cast<uid_t>(-1);
    if (Sistema_ficheros().Cambiar_dueno(nuevo, dueno, viejo.st_gid) != 0) {
    }

    // Los permisos con su ACL y los atributos extendidos, leídos del fichero que se reemplaza.
    // Lo que el sistema de ficheros no guarda (FAT por FUSE no guarda ni los permisos) no es un
    // fallo; lo que no se puede es acabar dando más acceso que el fichero anterior.
    bool copiados = false;
    bool con_acl = true;  // el anterior tiene, o puede tener, una ACL más allá de los permisos
    Descriptor anterior(
        Sistema_ficheros().Abrir_en(destino_.carpeta.Fd(), destino_.nombre.c_str(),
                                    O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat leido {};
    if (anterior.Fd() >= 0 && Sistema_ficheros().Estado(anterior.Fd(), &leido) == 0 &&
        leido.st_dev == viejo.st_dev && leido.st_ino == viejo.st_ino) {
        const int extendida = acl_extended_fd(anterior.Fd());
        con_acl = extendida > 0 || (extendida < 0 && errno != ENOTSUP && errno != ENOSYS);
        copiados = perm_copy_fd(nullptr, anterior.Fd(), nullptr, nuevo, nullptr) == 0;
        (void)attr_copy_fd(nullptr, anterior.Fd(), nullptr, nuevo, nullptr, nullptr);
    }

    // Si la ACL no pasó entera, los usuarios y grupos que nombraba caerían en «otros» o en el
    // grupo: sólo queda el dueño. Y si el grupo no es el del anterior, sus bits serían para
    // otro grupo: se quitan.
    mode_t limite = 07777;
    if (!copiados && con_acl) limite = 07000 | S_IRWXU;
    struct stat ahora {};
    if (Sistema_ficheros().Estado(nuevo, &ahora) == 0 && ahora.st_gid != viejo.st_gid)
        limite &= ~S_IRWXG;
    const mode_t modo = viejo.st_mode & limite;
    // También vuelve a poner los bits de setuid y setgid, si la ACL los borró.
    (void)Sistema_ficheros().Cambiar_permisos(nuevo, modo);
    if (Sistema_ficheros().Estado(nuevo, &ahora) != 0 || (ahora.st_mode & 07777 & ~modo) != 0)
        Fallar(QStringLiteral("No se puede reemplazar el fichero de destino «%1»: el sistema de "
                              "ficheros no deja dar al fichero nuevo los permisos del anterior "
                              "(%2), y con los suyos (%3) daría más acceso.")
                   .arg(destino_.ruta)
                   .arg(viejo.st_mode & 07777, 4, 8, QLatin1Char('0'))
                   .arg(ahora.st_mode & 07777, 4, 8, QLatin1Char('0')));
}

}  // namespace tesmalo

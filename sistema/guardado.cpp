// El guardado de un fichero normal: un temporal en la carpeta del destino que toma su nombre al
// confirmarlo, de una vez; y la apertura y el cierre de un flujo, que se escribe en su sitio.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "sistema/escritor.h"
#include "sistema/ficheros.h"
#include "sistema/razones.h"
#include "sistema/temporales.h"

namespace tesmalo {

void Escritor_destino::Abrir() {
    const int carpeta = destino_.carpeta.Fd();
    const auto no_se_puede = [this](int error) {
        Fallar(QStringLiteral("No se puede crear el fichero de destino «%1»: %2.")
                   .arg(destino_.ruta, Razon_del_sistema(error)));
    };
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo) {
        {
            Registro_temporales registro;
            if (registro.Abandonados()) no_se_puede(EINTR);
            registro.Empezar_destino();
            en_curso_ = true;
        }
        // Un dispositivo o una tubería se escribe en su sitio: no se puede reemplazar.
        fichero_ = destino_.heredado
                       ? std::move(destino_.flujo)
                       : Descriptor(Sistema_ficheros().Abrir_en(carpeta, destino_.nombre.c_str(),
                                                                O_WRONLY | O_CLOEXEC | O_NOCTTY));
        if (fichero_.Fd() < 0) no_se_puede(errno);
        return;
    }
    // Un fichero que se reemplaza recibe sus permisos después; hasta entonces, sólo su dueño
    // puede abrir el temporal.
    const bool habia = destino_.tipo == Destino_resuelto::Tipo::Fichero;
    const mode_t modo = habia ? S_IRUSR | S_IWUSR : 0666;
    {
        Registro_temporales registro;
        if (registro.Abandonados()) no_se_puede(EINTR);
        if (!acompanante_) registro.Empezar_destino();
        en_curso_ = !acompanante_;
        // Sin nombre, si el sistema de ficheros lo admite: si el proceso muere, no queda.
        fichero_ = Descriptor(
            Sistema_ficheros().Abrir_en(carpeta, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, modo));
        sin_nombre_ = fichero_.Fd() >= 0;
    }
    // Sin nombre, nadie más lo alcanza: el cerrojo no puede llegar tarde, y ya lo lleva cuando
    // Nombrar_temporal le da un nombre.
    if (sin_nombre_) (void)Bloquear_temporal(fichero_.Fd(), carpeta, {});
    for (int intento = 0; fichero_.Fd() < 0 && intento < 100; ++intento) {
        const std::string nombre = Nombre_temporal();
        {
            Registro_temporales registro;
            if (registro.Abandonados()) no_se_puede(EINTR);
            fichero_ = Descriptor(Sistema_ficheros().Abrir_en(
                carpeta, nombre.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, modo));
            if (fichero_.Fd() < 0) {
                if (errno == EEXIST) continue;
                break;
            }
            temporal_ = nombre;
            registro.Anotar(carpeta, temporal_);
        }
        // Otra conversión pudo tomarlo por abandonado antes de bloquearlo: entonces otro.
        if (Bloquear_temporal(fichero_.Fd(), carpeta, temporal_)) break;
        Registro_temporales registro;
        registro.Quitar(carpeta, temporal_);
        temporal_.clear();
        fichero_.Cerrar();
    }
    if (fichero_.Fd() < 0) no_se_puede(errno);
    // El cerrojo vive con la descripción abierta: esta copia lo guarda hasta que el temporal
    // tome el nombre del destino, aunque el fichero se cierre antes (en Confirmar).
    retenido_ = Copiar_descriptor(fichero_.Fd());
    if (retenido_.Fd() < 0) no_se_puede(errno);
    // Con el propio ya bloqueado, se retiran los que dejaron conversiones que no acabaron.
    Retirar_temporales_abandonados(carpeta);
    if (habia) Copiar_permisos();
}

void Escritor_destino::Descartar() {
    if (temporal_.empty() && !en_curso_) return;
    Registro_temporales registro;
    if (!temporal_.empty()) {
        // Todavía bloqueado: ninguna otra conversión lo toma a la vez por abandonado.
        Sistema_ficheros().Borrar_en(destino_.carpeta.Fd(), temporal_.c_str(), 0);
        registro.Quitar(destino_.carpeta.Fd(), temporal_);
        temporal_.clear();
    }
    if (en_curso_) registro.Acabar_destino(false);
    en_curso_ = false;
}

bool Escritor_destino::Nombrar_temporal() {
    Registro_temporales registro;
    if (registro.Abandonados()) return errno = EINTR, false;
    const std::string enlace = "/proc/self/fd/" + std::to_string(fichero_.Fd());
    for (int intento = 0; intento < 100; ++intento) {
        const std::string nombre = Nombre_temporal();
        if (Sistema_ficheros().Enlazar_en(AT_FDCWD, enlace.c_str(), destino_.carpeta.Fd(),
                                          nombre.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporal_ = nombre;
            registro.Anotar(destino_.carpeta.Fd(), temporal_);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

void Escritor_destino::Asegurar_temporal() {
    Terminar_escritura();
    // El contenido en disco, el temporal con nombre y cerrado sin error; sólo entonces toma
    // el nombre del destino, de una vez. El cerrojo sigue en `retenido_` hasta después.
    if (Sistema_ficheros().Llevar_datos_a_disco(fichero_.Fd()) != 0) Fallar_confirmacion(errno);
    if (sin_nombre_ && !Nombrar_temporal()) Fallar_confirmacion(errno);
    if (fichero_.Cerrar() != 0) Fallar_confirmacion(errno);
}

void Escritor_destino::Tomar_nombre_guardando() {
    const int carpeta = destino_.carpeta.Fd();
    const char* const nombre = destino_.nombre.c_str();
    if (destino_.tipo == Destino_resuelto::Tipo::Fichero) {
        // El anterior pasa a llamarse como el temporal, que sigue anotado y bloqueado.
        if (Sistema_ficheros().Intercambiar_en(carpeta, temporal_.c_str(), carpeta, nombre) == 0) {
            intercambiado_ = nombrado_ = true;
            return;
        }
        if (errno != EINVAL && errno != ENOTSUP && errno != ENOSYS) Fallar_confirmacion(errno);
        // Sin intercambio (FAT, NFS, sshfs): el anterior se aparta con un nombre de temporal.
        // Sólo por un momento, con el registro bloqueado, no hay fichero con ese nombre.
        for (int intento = 0; apartado_.empty() && intento < 100; ++intento) {
            const std::string otro = Nombre_temporal();
            struct stat hay {};
            if (Sistema_ficheros().Estado_en(carpeta, otro.c_str(), &hay, AT_SYMLINK_NOFOLLOW) == 0)
                continue;
            if (Sistema_ficheros().Renombrar_en(carpeta, nombre, carpeta, otro.c_str()) != 0)
                Fallar_confirmacion(errno);
            apartado_ = otro;
        }
        if (apartado_.empty()) Fallar_confirmacion(EEXIST);
    }
    if (Sistema_ficheros().Renombrar_en(carpeta, temporal_.c_str(), carpeta, nombre) != 0) {
        const int error = errno;
        Deshacer_nombre();
        Fallar_confirmacion(error);
    }
    nombrado_ = true;
}

void Escritor_destino::Deshacer_nombre() {
    const int carpeta = destino_.carpeta.Fd();
    const char* const nombre = destino_.nombre.c_str();
    if (intercambiado_) {
        // El nuevo vuelve al temporal, que Descartar borra; si no se puede intercambiar otra
        // vez, el anterior vuelve a su nombre por encima del nuevo.
        if (Sistema_ficheros().Intercambiar_en(carpeta, temporal_.c_str(), carpeta, nombre) != 0 &&
            Sistema_ficheros().Renombrar_en(carpeta, temporal_.c_str(), carpeta, nombre) == 0)
            temporal_.clear();
    } else if (!apartado_.empty()) {
        if (Sistema_ficheros().Renombrar_en(carpeta, apartado_.c_str(), carpeta, nombre) == 0)
            apartado_.clear();
    } else if (nombrado_) {
        Sistema_ficheros().Borrar_en(carpeta, nombre, 0);
    }
    intercambiado_ = nombrado_ = false;
}

void Escritor_destino::Soltar_reemplazado(Registro_temporales& registro) {
    const int carpeta = destino_.carpeta.Fd();
    // Tras un intercambio, el temporal es el fichero anterior.
    if (intercambiado_) Sistema_ficheros().Borrar_en(carpeta, temporal_.c_str(), 0);
    if (!apartado_.empty()) Sistema_ficheros().Borrar_en(carpeta, apartado_.c_str(), 0);
    registro.Quitar(carpeta, temporal_);
    temporal_.clear();
    apartado_.clear();
    intercambiado_ = nombrado_ = false;
}

void Escritor_destino::Confirmar(Escritor_destino* acompanante) {
    Terminar_escritura();
    if (destino_.tipo == Destino_resuelto::Tipo::Flujo) {
        if (fichero_.Cerrar() != 0) Fallar_confirmacion(errno);
        Registro_temporales registro;
        registro.Acabar_destino(true);
        en_curso_ = false;
        return;
    }
    // Los dos en disco antes de que ninguno tome su nombre.
    Asegurar_temporal();
    if (acompanante != nullptr) acompanante->Asegurar_temporal();
    {
        Registro_temporales registro;
        if (registro.Abandonados()) Fallar_confirmacion(EINTR);
        if (acompanante != nullptr) acompanante->Tomar_nombre_guardando();
        if (Sistema_ficheros().Renombrar_en(destino_.carpeta.Fd(), temporal_.c_str(),
                                            destino_.carpeta.Fd(), destino_.nombre.c_str()) != 0) {
            const int error = errno;
            if (acompanante != nullptr) acompanante->Deshacer_nombre();
            Fallar_confirmacion(error);
        }
        registro.Quitar(destino_.carpeta.Fd(), temporal_);
        temporal_.clear();
        if (acompanante != nullptr) {
            acompanante->Soltar_reemplazado(registro);
            registro.Carpeta_por_llevar(acompanante->destino_.carpeta.Fd(), true);
        }
        // Desde aquí, la conversión está hecha: una señal de fin ya no la interrumpe, pero
        // antes de salir lleva a disco esta carpeta si aquí aún no se ha hecho.
        registro.Acabar_destino(true);
        registro.Carpeta_por_llevar(destino_.carpeta.Fd(), true);
        en_curso_ = false;
    }
    retenido_.Cerrar();
    // El cambio de nombre también, en disco: sin esto, un corte de luz justo después del
    // «terminado» puede devolver el destino anterior, o ninguno. Una carpeta que no se deja
    // leer, o un sistema de ficheros que no lleva carpetas a disco, no lo permite: se da por
    // bueno lo que ya hizo el rename.
    int error = Llevar_carpeta_a_disco(destino_.carpeta.Fd());
    Registro_temporales().Carpeta_por_llevar(destino_.carpeta.Fd(), false);
    if (acompanante != nullptr) {
        acompanante->retenido_.Cerrar();
        const int carpeta = acompanante->destino_.carpeta.Fd();
        struct stat una {};
        struct stat otra {};
        const bool misma = Sistema_ficheros().Estado(carpeta, &una) == 0 &&
                           Sistema_ficheros().Estado(destino_.carpeta.Fd(), &otra) == 0 &&
                           una.st_dev == otra.st_dev && una.st_ino == otra.st_ino;
        const int suyo = misma ? 0 : Llevar_carpeta_a_disco(carpeta);
        Registro_temporales().Carpeta_por_llevar(carpeta, false);
        if (error == 0 && suyo != 0)
            Fallar(QStringLiteral("El fichero «%1» ya tiene el contenido nuevo, pero no se "
                                  "puede asegurar en el disco su entrada en la carpeta: %2.")
                       .arg(acompanante->destino_.ruta, Razon_del_sistema(suyo)));
    }
    if (error != 0)
        Fallar(QStringLiteral("El fichero de destino «%1» ya tiene el contenido nuevo, pero no se "
                              "puede asegurar en el disco su entrada en la carpeta: %2.")
                   .arg(destino_.ruta, Razon_del_sistema(error)));
}

}  // namespace tesmalo

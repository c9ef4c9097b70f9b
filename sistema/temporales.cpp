#include "sistema/temporales.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "sistema/descriptor.h"
#include "sistema/ficheros.h"

namespace tesmalo {
namespace {

constexpr char Prefijo[] = ".tesmalo-";
constexpr std::size_t Largo_prefijo = sizeof Prefijo - 1;
constexpr char Letras[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int Letras_al_azar = 8;

std::mutex Cerrojo;
bool Abandonado = false;
std::vector<std::pair<int, std::string>> Anotados;
int Destinos_anunciados = 1;
int Destinos_en_curso = 0;
int Destinos_hechos = 0;
// Carpetas (abiertas con O_PATH por sus escritores) con un destino ya nombrado cuyo cambio de
// nombre aún no está en disco.
std::vector<int> Carpetas_pendientes;

// Con el registro bloqueado: borra los temporales anotados, impide crear más y dice si el
// trabajo del proceso ya estaba hecho (todos los destinos anunciados con su nombre).
bool Abandonar_bloqueado() {
    Abandonado = true;
    for (const auto& [carpeta, nombre] : Anotados)
        Sistema_ficheros().Borrar_en(carpeta, nombre.c_str(), 0);
    Anotados.clear();
    return Destinos_en_curso == 0 && Destinos_hechos >= Destinos_anunciados;
}

}  // namespace

std::string Nombre_temporal() {
    std::string nombre = Prefijo;
    for (int i = 0; i < Letras_al_azar; ++i)
        nombre += Letras[QRandomGenerator::global()->bounded(int(sizeof Letras - 1))];
    return nombre;
}

bool Es_nombre_temporal(const char* nombre) {
    if (std::strncmp(nombre, Prefijo, Largo_prefijo) != 0) return false;
    const char* resto = nombre + Largo_prefijo;
    return std::strlen(resto) == Letras_al_azar &&
           std::all_of(resto, resto + Letras_al_azar,
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); });
}

bool Bloquear_temporal(int fd, int carpeta, const std::string& nombre) {
    // Quien mira si está abandonado lo tiene bloqueado sólo un momento: se le espera.
    int r;
    while ((r = Sistema_ficheros().Bloquear(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (r != 0 || nombre.empty()) return true;
    struct stat abierto {};
    struct stat nombrado {};
    return Sistema_ficheros().Estado(fd, &abierto) == 0 &&
           Sistema_ficheros().Estado_en(carpeta, nombre.c_str(), &nombrado, AT_SYMLINK_NOFOLLOW) ==
               0 &&
           abierto.st_dev == nombrado.st_dev && abierto.st_ino == nombrado.st_ino;
}

void Retirar_temporales_abandonados(int carpeta) {
    struct stat estado {};
    if (Sistema_ficheros().Estado(carpeta, &estado) != 0) return;
    {
        static std::mutex cerrojo;
        static std::set<std::pair<dev_t, ino_t>> vistas;
        std::lock_guard bloqueo(cerrojo);
        if (!vistas.insert({estado.st_dev, estado.st_ino}).second) return;
    }
    const int lectura =
        Sistema_ficheros().Abrir_en(carpeta, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lectura < 0) return;
    DIR* const entradas = ::fdopendir(lectura);
    if (entradas == nullptr) {
        Sistema_ficheros().Cerrar(lectura);
        return;
    }
    while (const dirent* entrada = ::readdir(entradas)) {
        const char* const nombre = entrada->d_name;
        if (!Es_nombre_temporal(nombre) ||
            (entrada->d_type != DT_REG && entrada->d_type != DT_UNKNOWN))
            continue;
        // Sin seguir enlaces y sin esperar (por si entretanto es una tubería). Basta con poder
        // leerlo o escribirlo: el cerrojo compartido choca con el exclusivo de su conversión.
        const int sin_esperas = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
        Descriptor fichero(Sistema_ficheros().Abrir_en(carpeta, nombre, O_RDONLY | sin_esperas));
        if (fichero.Fd() < 0 && errno == EACCES)
            fichero =
                Descriptor(Sistema_ficheros().Abrir_en(carpeta, nombre, O_WRONLY | sin_esperas));
        struct stat abierto {};
        struct stat nombrado {};
        if (fichero.Fd() < 0 || Sistema_ficheros().Estado(fichero.Fd(), &abierto) != 0 ||
            !S_ISREG(abierto.st_mode) ||
            Sistema_ficheros().Bloquear(fichero.Fd(), LOCK_SH | LOCK_NB) != 0)
            continue;
        // Con el cerrojo tomado, el nombre tiene que llevar aún a ese mismo fichero.
        if (Sistema_ficheros().Estado_en(carpeta, nombre, &nombrado, AT_SYMLINK_NOFOLLOW) == 0 &&
            nombrado.st_dev == abierto.st_dev && nombrado.st_ino == abierto.st_ino)
            Sistema_ficheros().Borrar_en(carpeta, nombre, 0);
    }
    ::closedir(entradas);
}

void Abandonar_temporales() {
    std::lock_guard bloqueo(Cerrojo);
    (void)Abandonar_bloqueado();
}

void Anunciar_destinos(int n) {
    std::lock_guard bloqueo(Cerrojo);
    Destinos_anunciados = n;
}

Registro_temporales::Registro_temporales() : bloqueo_(Cerrojo) {}

bool Registro_temporales::Abandonados() const {
    return Abandonado;
}

void Registro_temporales::Anotar(int carpeta, const std::string& nombre) {
    Anotados.emplace_back(carpeta, nombre);
}

void Registro_temporales::Quitar(int carpeta, const std::string& nombre) {
    std::erase(Anotados, std::pair{carpeta, nombre});
}

void Registro_temporales::Empezar_destino() {
    ++Destinos_en_curso;
}

bool Registro_temporales::Abandonar() {
    bool hecho = Abandonar_bloqueado();
    if (hecho)
        for (const int carpeta : Carpetas_pendientes)
            if (Llevar_carpeta_a_disco(carpeta) != 0) hecho = false;
    return hecho;
}

void Registro_temporales::Carpeta_por_llevar(int carpeta, bool pendiente) {
    if (pendiente)
        Carpetas_pendientes.push_back(carpeta);
    else if (const auto it =
                 std::find(Carpetas_pendientes.begin(), Carpetas_pendientes.end(), carpeta);
             it != Carpetas_pendientes.end())
        Carpetas_pendientes.erase(it);
}

void Registro_temporales::Acabar_destino(bool hecho) {
    --Destinos_en_curso;
    if (hecho) ++Destinos_hechos;
}

}  // namespace tesmalo

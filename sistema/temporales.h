// Los temporales de destino: su nombre, el cerrojo que los guarda mientras se usan y el registro
// de los que este proceso tiene a medio escribir, para poder retirarlos todos cuando el proceso
// tiene que acabar ya (Ctrl+C, SIGTERM, la ventana cerrada durante una conversión), aunque la
// conversión esté parada en una lectura que no vuelve.
//
// Un temporal sin nombre (O_TMPFILE) desaparece solo al acabar el proceso; uno con nombre (donde
// el sistema de ficheros no admite O_TMPFILE, y entre darle nombre y renombrarlo como destino)
// se anota aquí mientras existe. Crear, nombrar y renombrar temporales se hace con el registro
// bloqueado, así que, tras Abandonar_temporales, ninguna conversión en curso puede dar a su
// temporal el nombre del destino.
//
// Un proceso matado sin aviso (SIGKILL, un corte de luz) no retira su temporal con nombre. Por
// eso cada temporal está bloqueado con flock mientras su conversión lo usa, y una conversión
// posterior en la misma carpeta retira los que nadie tiene bloqueados
// (Retirar_temporales_abandonados).
#pragma once

#include <mutex>
#include <string>

namespace tesmalo {

// Un nombre nuevo de temporal: «.tesmalo-» y ocho letras minúsculas o cifras al azar. No choca
// con ningún destino razonable y cabe siempre en el límite de nombre del sistema.
std::string Nombre_temporal();
// Verdadero si `nombre` tiene la forma exacta de los que da Nombre_temporal.
bool Es_nombre_temporal(const char* nombre);

// Bloquea el temporal abierto `fd`, de nombre `nombre` en la carpeta abierta `carpeta`, para que
// ninguna conversión lo tome por abandonado; el cerrojo dura lo que la descripción abierta (se
// suelta al cerrar su último descriptor, también si el proceso muere). Devuelve falso si, al
// tomarlo, el nombre ya no lleva a ese fichero: otra conversión lo retiró entre su creación y el
// cerrojo, y hay que crear otro. Con `nombre` vacío (un temporal sin nombre, que nadie más
// alcanza) sólo lo bloquea. Un sistema de ficheros sin cerrojos no es un fallo: entonces tampoco
// se puede bloquear para retirarlo.
bool Bloquear_temporal(int fd, int carpeta, const std::string& nombre);

// Retira de la carpeta abierta `carpeta` los temporales que dejaron conversiones que ya no
// siguen: sólo entradas con nombre de temporal (Es_nombre_temporal), sólo ficheros normales y
// sólo si se puede tomar su cerrojo, que una conversión en marcha, de este proceso o de otro,
// tiene tomado. Lo que no se puede leer, abrir, bloquear o borrar se deja, sin error. Cada
// carpeta se mira una vez por proceso.
void Retirar_temporales_abandonados(int carpeta);

// Borra todos los temporales con nombre de este proceso y hace que ninguno más se cree o tome
// su nombre de destino. Se puede llamar desde cualquier hilo (no desde un manejador de señal).
// Después, quien llama debe terminar el proceso (por ejemplo, con std::_Exit): las conversiones
// que sigan en marcha fallarán al llegar al final.
void Abandonar_temporales();

// El trabajo del proceso son `n` destinos; si no se llama, uno. Un destino cuenta como hecho
// cuando toma su nombre (un flujo, cuando se cierra sin error).
void Anunciar_destinos(int n);

// El registro bloqueado, para crear, nombrar o renombrar un temporal sin que
// Abandonar_temporales se cruce.
class Registro_temporales {
  public:
    Registro_temporales();
    // Verdadero si ya se abandonaron: entonces no se debe crear ni renombrar nada.
    bool Abandonados() const;
    // Anota (o quita) el temporal `nombre` de la carpeta abierta `carpeta`.
    void Anotar(int carpeta, const std::string& nombre);
    void Quitar(int carpeta, const std::string& nombre);
    // Un destino empieza a escribirse, y deja de escribirse: `hecho` si tomó su nombre.
    void Empezar_destino();
    void Acabar_destino(bool hecho);
    // La carpeta abierta `carpeta` tiene un destino que ya tomó su nombre, pero ese cambio aún
    // no está en disco (`pendiente`), o ya lo está o no se pudo llevar (falso).
    void Carpeta_por_llevar(int carpeta, bool pendiente);
    // Lo que hace Abandonar_temporales, y dice si el trabajo del proceso ya estaba hecho:
    // todos los destinos anunciados con su nombre y ninguno a medias. Ningún destino puede
    // tomar su nombre a la vez: o lo tomó antes, y cuenta como hecho, o ya no lo tomará. Si
    // está hecho, antes lleva a disco las carpetas pendientes: el trabajo sólo está hecho con
    // el nombre nuevo en disco; si eso falla, no lo está.
    bool Abandonar();

  private:
    std::unique_lock<std::mutex> bloqueo_;
};

}  // namespace tesmalo
